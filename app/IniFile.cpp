// SPDX-License-Identifier: GPL-3.0-or-later

#include "IniFile.h"

#include "Convert.h"
#include "RegularFile.h"
#include "SettingsFileSharing.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

namespace {

// The profile reader is given a buffer of 2048 bytes, one of them for the
// terminating zero.
constexpr qsizetype MaxValueLength = 2047;

// Between the attempts of a save that another program holds up.
constexpr unsigned long otherWriterPauseMs = 50;

// One physical line with its own line end ("\r\n", "\n", or nothing for a
// last line without one), kept as bytes so that untouched lines are written
// back exactly as they were read.
struct RawLine
{
    QByteArray text;
    QByteArray end;
};

struct Document
{
    std::vector<RawLine> lines;
    QByteArray newline = "\n";
};

enum class LineKind { Other, Section, Key };

struct ParsedLine
{
    LineKind kind = LineKind::Other;
    QString name;
    QString value;
};

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QString trimBlanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin).toString();
}

ParsedLine parseLine(const QByteArray& raw)
{
    QString line = QString::fromUtf8(raw);
    if (line.startsWith(QChar(0xFEFF))) // a byte-order mark before the first line
        line.remove(0, 1);
    line = trimBlanks(line);
    if (line.isEmpty() || line.startsWith(u';'))
        return {};
    if (line.startsWith(u'[')) {
        const qsizetype close = line.indexOf(u']');
        if (close > 0)
            return {LineKind::Section, trimBlanks(QStringView(line).sliced(1, close - 1)), {}};
    }
    const qsizetype equals = line.indexOf(u'=');
    if (equals < 0)
        return {};
    return {LineKind::Key, trimBlanks(QStringView(line).first(equals)),
            trimBlanks(QStringView(line).sliced(equals + 1))};
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString unquote(const QString& value)
{
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        return value.sliced(1, value.size() - 2);
    return value;
}

QString limitLength(QString value)
{
    if (value.size() <= MaxValueLength)
        return value;
    value.truncate(MaxValueLength);
    if (value.back().isHighSurrogate()) // never leave half a character
        value.chop(1);
    return value;
}

// What the system says about a step on a path: "<step> <path>: <reason>",
// with the path as the system writes it.
QString systemDetail(const char* step, const QString& path, const QString& reason)
{
    return QStringLiteral("%1 %2: %3")
        .arg(QLatin1String(step), QDir::toNativeSeparators(path), reason);
}

// Why a read found no file it could use; empty when it found one, or nothing.
QString readFailure(const RegularFileRead& read)
{
    switch (read.outcome) {
    case RegularFileRead::Outcome::Read:
    case RegularFileRead::Outcome::Missing:
        return {};
    case RegularFileRead::Outcome::NotRegularFile:
        return QCoreApplication::translate("TIniFile", "not a regular file");
    case RegularFileRead::Outcome::TooLarge:
        return QCoreApplication::translate("TIniFile", "larger than %1 bytes")
            .arg(TIniFile::MaxFileSize);
    case RegularFileRead::Outcome::Failed:
        return read.reason;
    }
    return read.reason;
}

Document parse(const QByteArray& content)
{
    Document doc;
    bool styleKnown = false;
    qsizetype start = 0;
    while (start < content.size()) {
        const qsizetype lf = content.indexOf('\n', start);
        if (lf < 0) {
            doc.lines.push_back({content.sliced(start), {}});
            break;
        }
        const bool crlf = lf > start && content[lf - 1] == '\r';
        const qsizetype textEnd = crlf ? lf - 1 : lf;
        doc.lines.push_back({content.sliced(start, textEnd - start), crlf ? "\r\n" : "\n"});
        if (!styleKnown) {
            doc.newline = doc.lines.back().end;
            styleKnown = true;
        }
        start = lf + 1;
    }
    return doc;
}

// Where a key stands: the first section of the name, the key line inside
// it, and the place after the section's last non-blank line (where a new
// key goes, so that blank lines before the next section stay there).
struct KeyLocation
{
    std::optional<std::size_t> section;
    std::optional<std::size_t> key;
    std::size_t insertAt = 0;
    QString storedKeyName;
    QString value;
};

KeyLocation locate(const Document& doc, const QString& section, const QString& key)
{
    KeyLocation where;
    for (std::size_t i = 0; i < doc.lines.size(); ++i) {
        const ParsedLine line = parseLine(doc.lines[i].text);
        if (line.kind == LineKind::Section) {
            if (where.section)
                break;
            if (sameName(line.name, section)) {
                where.section = i;
                where.insertAt = i + 1;
            }
            continue;
        }
        if (!where.section)
            continue;
        if (!doc.lines[i].text.trimmed().isEmpty())
            where.insertAt = i + 1;
        if (line.kind == LineKind::Key && !where.key && sameName(line.name, key)) {
            where.key = i;
            where.storedKeyName = line.name;
            where.value = line.value;
        }
    }
    return where;
}

bool fitsOnOneLine(const QString& text)
{
    return !text.contains(u'\n') && !text.contains(u'\r');
}

// Whether the entry reads back as written. A line break would end the line
// early and could forge other keys or sections; a key that starts like a
// section or a comment, or holds an equals sign, would be read as something
// else.
bool canBeStored(const QString& section, const QString& key, const QString& value)
{
    const QString trimmedKey = trimBlanks(key);
    return fitsOnOneLine(section) && fitsOnOneLine(key) && fitsOnOneLine(value) &&
           !section.contains(u']') && !trimmedKey.isEmpty() && !trimmedKey.startsWith(u'[') &&
           !trimmedKey.startsWith(u';') && !key.contains(u'=');
}

void insertLines(Document& doc, std::size_t at, const std::vector<QString>& texts)
{
    // A last line without a line end must get one before anything follows it.
    if (at > 0 && doc.lines[at - 1].end.isEmpty())
        doc.lines[at - 1].end = doc.newline;
    std::vector<RawLine> added;
    for (const QString& text : texts)
        added.push_back({text.toUtf8(), doc.newline});
    doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(at), added.begin(),
                     added.end());
}

// Raises the write error with what the system said about the step that
// failed. Qt's file classes leave the errno of the failing call in place;
// Qt's own wording stands in where none was set.
[[noreturn]] void refuse(const QString& fileName, const char* step, const QString& path, int error,
                         const QString& qtReason)
{
    const QString reason = error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : qtReason;
    throw EIniFileException(fileName, systemDetail(step, path, reason));
}

// The step of a save that failed, with what the system said.
struct SaveFailure
{
    const char* step;
    int error;
    QString qtReason;
};

// QSaveFile writes a temporary file beside the target, syncs it and renames
// it over the target. It does not notice a short write (a full disk, a size
// limit) by itself: its commit would then put half a file in place of the old
// one. So the whole text goes out in one unbuffered write whose count is
// checked, and a short one cancels the rename.
std::optional<SaveFailure> replaceWhole(const QString& fileName, const QByteArray& content)
{
    QSaveFile file(fileName);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return SaveFailure{"open", errno, file.errorString()};
    errno = 0;
    if (file.write(content) != content.size()) {
        const int error = errno;
        file.cancelWriting();
        return SaveFailure{"write", error, file.errorString()};
    }
    errno = 0;
    if (!file.commit())
        return SaveFailure{"replace", errno, file.errorString()};
    return std::nullopt;
}

// Returns what was written.
QByteArray save(const QString& fileName, const Document& doc)
{
    const QString directory = QFileInfo(fileName).absolutePath();
    errno = 0;
    if (!QDir().mkpath(directory))
        refuse(fileName, "mkdir", directory, errno, QStringLiteral("cannot be created"));
    QByteArray content;
    for (const RawLine& line : doc.lines)
        content += line.text + line.end;
    // Where another program that has the file open holds the replacement up
    // (SettingsFileSharing.h), each attempt starts afresh, with the whole text.
    const QDeadlineTimer deadline(OtherWriterWait);
    std::optional<SaveFailure> failure = replaceWhole(fileName, content);
    while (failure && !deadline.hasExpired()) {
        QThread::msleep(otherWriterPauseMs);
        failure = replaceWhole(fileName, content);
    }
    if (failure)
        refuse(fileName, failure->step, fileName, failure->error, failure->qtReason);
    return content;
}

} // namespace

EIniFileException::EIniFileException(const QString& path, const QString& detail)
    : std::runtime_error(QStringLiteral("Unable to write to %1")
                             .arg(QDir::toNativeSeparators(path))
                             .toStdString()),
      m_detail(detail)
{
}

TIniFile::TIniFile(const QString& fileName) : m_fileName(fileName) {}

const TIniFile::Content& TIniFile::content() const
{
    if (!m_content) {
        const RegularFileRead read = readRegularFile(m_fileName, MaxFileSize);
        const QString failure = readFailure(read);
        m_content =
            Content{read.outcome != RegularFileRead::Outcome::Missing, read.bytes,
                    failure.isEmpty() ? QString() : systemDetail("read", m_fileName, failure)};
    }
    return *m_content;
}

bool TIniFile::exists() const
{
    return content().exists;
}

const QString& TIniFile::readError() const
{
    return content().readError;
}

bool TIniFile::valueExists(const QString& section, const QString& key) const
{
    return locate(parse(content().bytes), section, key).key.has_value();
}

QString TIniFile::readString(const QString& section, const QString& key,
                             const QString& defaultValue) const
{
    const KeyLocation where = locate(parse(content().bytes), section, key);
    if (!where.key)
        return defaultValue;
    return limitLength(unquote(where.value));
}

int TIniFile::readInteger(const QString& section, const QString& key, int defaultValue) const
{
    int value = defaultValue;
    if (!TryStrToInt(readString(section, key, QString()), value))
        return defaultValue;
    return value;
}

bool TIniFile::readBool(const QString& section, const QString& key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TIniFile::writeString(const QString& section, const QString& key, const QString& value)
{
    if (!canBeStored(section, key, value))
        throw EIniFileException(m_fileName);
    // The lines as they are now, read afresh; rewriting a file that could not
    // be read would lose them.
    m_content.reset();
    if (!readError().isEmpty())
        throw EIniFileException(m_fileName, readError());
    Document doc = parse(content().bytes);

    const KeyLocation where = locate(doc, section, key);
    if (where.key) {
        doc.lines[*where.key].text = (where.storedKeyName + u'=' + value).toUtf8();
    } else if (where.section) {
        insertLines(doc, where.insertAt, {key + u'=' + value});
    } else {
        // A new section goes to the end, after a blank line that parts it
        // from the text before.
        std::vector<QString> added{u'[' + section + u']', key + u'=' + value};
        if (!doc.lines.empty() && !doc.lines.back().text.trimmed().isEmpty())
            added.insert(added.begin(), QString());
        insertLines(doc, doc.lines.size(), added);
    }
    m_content = Content{true, save(m_fileName, doc), {}};
}

void TIniFile::writeInteger(const QString& section, const QString& key, int value)
{
    writeString(section, key, QString::number(value));
}

void TIniFile::writeBool(const QString& section, const QString& key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}
