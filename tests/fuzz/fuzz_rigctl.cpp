// SPDX-License-Identifier: GPL-3.0-or-later

// A client of Hamlib's network rig protocol sending arbitrary bytes, taken
// as the server takes them: split into lines under the limits, each line
// answered. Checked: no line breaks the limits; every command gets one
// answer that ends in a line end; the dial changes only on a set_freq that
// is answered with success, and then to the sent value rounded to whole
// hertz, never past 299 999 999 Hz.
//
// Input: chunks, each a length byte and that many bytes.

#include "FuzzInput.h"
#include "RigctlProtocol.h"

#include <string>

namespace {

class ModelRig : public TRigctlRig
{
public:
    std::optional<std::uint32_t> dialFrequency() const override { return m_hertz; }
    void setDialFrequency(std::uint32_t hertz) override
    {
        FUZZ_CHECK(hertz <= RigctlHighestFrequency);
        m_hertz = hertz;
        ++m_sets;
    }

    std::uint32_t m_hertz = 14'070'000;
    int m_sets = 0;
};

std::string toStd(QByteArrayView bytes)
{
    return std::string(bytes.data(), static_cast<std::size_t>(bytes.size()));
}

bool isBlankOrComment(const std::string& line)
{
    const std::size_t first = line.find_first_not_of(" \t\r");
    return first == std::string::npos || line[first] == '#';
}

// The argument of a set_freq line in either form, or nothing.
std::optional<std::string> setFrequencyArgument(const std::string& line)
{
    std::string rest = line.substr(line.find_first_not_of(" \t\r"));
    if (rest[0] != '\\' && rest[0] != '?' && rest[0] != '_' && rest[0] != '#' &&
        std::ispunct(static_cast<unsigned char>(rest[0])))
        rest = rest.substr(1);
    rest.erase(0, rest.find_first_not_of(" \t\r"));
    for (const std::string name : {"\\set_freq", "F"}) {
        if (rest.compare(0, name.size(), name) == 0) {
            rest = rest.substr(name.size());
            if (name == "\\set_freq" && !rest.empty() && rest.find_first_of(" \t\r") != 0)
                return std::nullopt; // a longer name
            const std::size_t start = rest.find_first_not_of(" \t\r");
            const std::size_t end = rest.find_last_not_of(" \t\r");
            return start == std::string::npos ? "" : rest.substr(start, end - start + 1);
        }
    }
    return std::nullopt;
}

// Decimal digits with an optional fraction, rounded half up.
std::optional<std::uint64_t> roundedHertz(const std::string& text)
{
    const std::size_t point = text.find('.');
    const std::string whole = text.substr(0, point);
    const std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
    if ((whole.empty() && fraction.empty()) ||
        (whole + fraction).find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const std::size_t significant = whole.find_first_not_of('0');
    const std::string digits = significant == std::string::npos ? "0" : whole.substr(significant);
    if (digits.size() > 10)
        return std::uint64_t{RigctlHighestFrequency} + 1;
    return std::stoull(digits) + (!fraction.empty() && fraction[0] >= '5' ? 1 : 0);
}

void checkAnswer(const std::string& line, const TRigctlAnswer& answer, ModelRig& rig,
                 std::uint32_t before, int setsBefore)
{
    FUZZ_CHECK(answer.text.isEmpty() == isBlankOrComment(line));
    FUZZ_CHECK(answer.text.isEmpty() || answer.text.endsWith('\n'));
    const std::optional<std::string> argument =
        isBlankOrComment(line) ? std::nullopt : setFrequencyArgument(line);
    const bool succeeded = answer.text.endsWith("RPRT 0\n") && !answer.closeAfter;
    if (!argument || !succeeded) {
        FUZZ_CHECK(rig.m_hertz == before);
        FUZZ_CHECK(rig.m_sets == setsBefore);
        return;
    }
    FUZZ_CHECK(rig.m_sets == setsBefore + 1);
    FUZZ_CHECK(roundedHertz(*argument) == std::uint64_t{rig.m_hertz});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    TRigctlLineReader reader;
    ModelRig rig;
    while (!input.atEnd()) {
        const QByteArrayView chunk = input.take(input.takeByte());
        const TRigctlLineReader::Verdict verdict = reader.append(chunk);
        while (const std::optional<QByteArray> line = reader.takeLine()) {
            FUZZ_CHECK(line->size() <= TRigctlLineReader::MaxLineLength);
            for (const char c : *line)
                FUZZ_CHECK((c >= ' ' && c <= '~') || c == '\t' || c == '\r');
            const std::uint32_t before = rig.m_hertz;
            const int setsBefore = rig.m_sets;
            const TRigctlAnswer answer = answerRigctlLine(*line, rig);
            checkAnswer(toStd(*line), answer, rig, before, setsBefore);
        }
        if (verdict != TRigctlLineReader::Verdict::Ok)
            break; // the server answers "RPRT -8" and disconnects
    }
    return 0;
}
