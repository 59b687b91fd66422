// SPDX-License-Identifier: GPL-3.0-or-later

// A client of Hamlib's network rig protocol sending arbitrary bytes, taken
// as the server takes them: split into lines under the limits, each line
// answered by one session. Checked: no line breaks the limits; a blank line
// is not answered (a comment may be a waiting command's argument, as in
// rigctld), any answer ends in a line end; the dial
// changes only in a line answered with success, and then to the value of a
// number on that line (where a set_freq's last argument arrives) cut to
// whole hertz, as the C library reads it, never past 299 999 999 Hz.
//
// Input: chunks, each a length byte and that many bytes.

#include "FuzzInput.h"
#include "RigctlProtocol.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
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
    TRigctlMode& mode() override { return m_mode; }

    TRigctlMode m_mode;
    std::uint32_t m_hertz = 14'070'000;
    int m_sets = 0;
};

std::string toStd(QByteArrayView bytes)
{
    return std::string(bytes.data(), static_cast<std::size_t>(bytes.size()));
}

bool isBlank(const std::string& line)
{
    return line.find_first_not_of(" \t\r") == std::string::npos;
}

// Whether a blank-separated word of the line ends in a decimal number (the C
// library's reading, without its hexadecimal form) whose whole hertz are
// `hertz`: the end, since a letter may be glued before it ("F7074000").
bool lineHoldsNumber(const std::string& line, std::uint32_t hertz)
{
    std::size_t start = 0;
    while ((start = line.find_first_not_of(" \t\r", start)) != std::string::npos) {
        const std::size_t end = std::min(line.find_first_of(" \t\r", start), line.size());
        for (std::size_t from = start; from < end; ++from) {
            const std::string text = line.substr(from, end - from);
            char* parsed = nullptr;
            const double value = std::strtod(text.c_str(), &parsed);
            if (*parsed == '\0' && text.find_first_of("xX") == std::string::npos &&
                std::isfinite(value) && std::trunc(value) == double(hertz))
                return true;
        }
        start = end;
    }
    return false;
}

void checkAnswer(const std::string& line, const TRigctlAnswer& answer, ModelRig& rig,
                 std::uint32_t before, int setsBefore)
{
    FUZZ_CHECK(!isBlank(line) || answer.text.isEmpty());
    FUZZ_CHECK(answer.text.isEmpty() || answer.text.endsWith('\n'));
    if (rig.m_sets == setsBefore) {
        FUZZ_CHECK(rig.m_hertz == before);
        return;
    }
    FUZZ_CHECK(answer.text.contains("RPRT 0\n"));
    FUZZ_CHECK(lineHoldsNumber(line, rig.m_hertz));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    TRigctlLineReader reader;
    ModelRig rig;
    TRigctlSession session(rig, rig.mode());
    while (!input.atEnd()) {
        const QByteArrayView chunk = input.take(input.takeByte());
        const TRigctlLineReader::Verdict verdict = reader.append(chunk);
        while (const std::optional<QByteArray> line = reader.takeLine()) {
            FUZZ_CHECK(line->size() <= TRigctlLineReader::MaxLineLength);
            for (const char c : *line)
                FUZZ_CHECK((c >= ' ' && c <= '~') || c == '\t' || c == '\r');
            const std::uint32_t before = rig.m_hertz;
            const int setsBefore = rig.m_sets;
            const TRigctlAnswer answer = session.answerLine(*line);
            checkAnswer(toStd(*line), answer, rig, before, setsBefore);
        }
        if (verdict != TRigctlLineReader::Verdict::Ok)
            break; // the server answers "RPRT -8" and disconnects
    }
    return 0;
}
