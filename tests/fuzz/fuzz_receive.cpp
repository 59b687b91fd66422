// SPDX-License-Identifier: GPL-3.0-or-later

// The receive path of the responder on arbitrary chunk sequences, checked
// against a plain model: the buffer is every byte received since the last
// reply (NUL included), and a reply goes out exactly when that buffer holds
// "IF;" and the frequency string fills the reply's field, once, and then the
// buffer starts afresh.
//
// Input: one byte whose low nibble is the length of the frequency string,
// whose bit 4 is the "CR -> CRLF" box and whose bit 5 turns the frequency
// string's bytes into decimal digits, that many bytes of frequency string,
// then chunks, each a length byte and that many bytes.

#include "FuzzInput.h"
#include "IfResponder.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr std::size_t KeptBytes = TReceiveBuffer::KeptBytes;

// What the model expects the reply to be for a frequency string: none
// unless the padded string is nine or six decimal digits.
std::optional<std::string> modelReply(std::string frequency)
{
    if (frequency.size() == 7 || frequency.size() == 8)
        frequency.insert(0, 9 - frequency.size(), '0');
    const bool digits = std::all_of(frequency.begin(), frequency.end(),
                                    [](char c) { return c >= '0' && c <= '9'; });
    if (!digits || (frequency.size() != 9 && frequency.size() != 6))
        return std::nullopt;
    return "IF00" + frequency + "0010+0000000000010000000;";
}

std::string toStd(QByteArrayView bytes)
{
    return std::string(bytes.data(), static_cast<std::size_t>(bytes.size()));
}

// The responder's steps for one received chunk, through the functions the
// window calls: the append with its line-end rule, and the reply when a
// query is held (the window then sends it and empties the buffer).
// Returns the replies sent (none or one).
std::vector<std::string> receive(TReceiveBuffer& buffer, QString& frequencyString, QByteArray chunk,
                                 bool completeCrLf)
{
    if (!appendReceived(buffer, std::move(chunk), completeCrLf))
        return {};
    const std::optional<QString> reply = replyToQuery(buffer, frequencyString);
    if (!reply)
        return {};
    buffer.clear();
    return {reply->toLatin1().toStdString()};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::uint8_t header = input.takeByte();
    const bool completeCrLf = (header & 0x10) != 0;
    std::string frequency = toStd(input.take(header & 0x0f));
    if (header & 0x20)
        std::transform(frequency.begin(), frequency.end(), frequency.begin(),
                       [](char c) { return char('0' + static_cast<unsigned char>(c) % 10); });
    QString frequencyString = QString::fromLatin1(frequency.data(), qsizetype(frequency.size()));
    const std::optional<std::string> expectedReply = modelReply(frequency);

    TReceiveBuffer buffer;
    std::string received; // the model: everything since the last reply
    bool queried = false; // a query in `received`, unanswered
    while (!input.atEnd()) {
        QByteArray chunk = input.take(input.takeByte()).toByteArray();
        const std::vector<std::string> sent = receive(buffer, frequencyString, chunk, completeCrLf);

        if (completeCrLf && chunk.endsWith('\r'))
            chunk.append('\n');
        received += toStd(chunk);
        queried = queried || received.find("IF;") != std::string::npos;
        if (queried && expectedReply) {
            FUZZ_CHECK(sent.size() == 1);
            FUZZ_CHECK(sent.front() == *expectedReply);
            received.clear();
            queried = false;
        } else {
            FUZZ_CHECK(sent.empty());
        }
        const std::string shown =
            received.substr(received.size() - std::min(received.size(), KeptBytes));
        FUZZ_CHECK(toStd(buffer.text()) == shown);
        FUZZ_CHECK(buffer.containsQuery() == queried);
        if (received.size() > 4 * KeptBytes) // the model keeps what may still matter
            received.erase(0, received.size() - KeptBytes);
    }
    return 0;
}
