// SPDX-License-Identifier: GPL-3.0-or-later

// The receive path of the responder on arbitrary chunk sequences, checked
// against a plain model: the buffer is every byte received since the last
// reply (NUL included), and a reply goes out exactly when that buffer holds
// "IF;", once, and then the buffer starts afresh.
//
// Input: one byte whose low nibble is the length of the frequency string and
// whose bit 4 is the "CR -> CRLF" box, that many bytes of frequency string,
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

// What the model expects the reply to be for a frequency string.
std::string modelReply(std::string frequency)
{
    if (frequency.size() == 7 || frequency.size() == 8)
        frequency.insert(0, 9 - frequency.size(), '0');
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
    const QByteArrayView frequency = input.take(header & 0x0f);
    QString frequencyString = QString::fromLatin1(frequency);
    const std::string expectedReply = modelReply(toStd(frequency));

    TReceiveBuffer buffer;
    std::string received; // the model: everything since the last reply
    while (!input.atEnd()) {
        QByteArray chunk = input.take(input.takeByte()).toByteArray();
        const std::vector<std::string> sent = receive(buffer, frequencyString, chunk, completeCrLf);

        if (completeCrLf && chunk.endsWith('\r'))
            chunk.append('\n');
        received += toStd(chunk);
        const bool queried = received.find("IF;") != std::string::npos;
        if (queried) {
            FUZZ_CHECK(sent.size() == 1);
            FUZZ_CHECK(sent.front() == expectedReply);
            received.clear();
        } else {
            FUZZ_CHECK(sent.empty());
        }
        const std::string shown =
            received.substr(received.size() - std::min(received.size(), KeptBytes));
        FUZZ_CHECK(toStd(buffer.text()) == shown);
        FUZZ_CHECK(!buffer.containsQuery());
        if (received.size() > 4 * KeptBytes) // the model keeps what may still matter
            received.erase(0, received.size() - KeptBytes);
    }
    return 0;
}
