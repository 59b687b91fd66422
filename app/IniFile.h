// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <stdexcept>

// Raised when a private-profile file cannot be written. what() is
// "Unable to write to <path>" in UTF-8; detail() says what the system refused
// and why ("open <path>: Permission denied"), or is empty when the text itself
// cannot be stored.
class EIniFileException : public std::runtime_error
{
public:
    explicit EIniFileException(const QString& path, const QString& detail = {});

    const QString& detail() const { return m_detail; }

private:
    QString m_detail;
};

// A private-profile (INI) file, read and written one key at a time with the
// platform's rules:
// - section and key names match case-insensitively; the first section of a
//   name counts, later ones with the same name are not read;
// - a value loses its surrounding blanks and one pair of matching quotation
//   marks (single or double); at most 2047 characters are returned;
// - lines end in LF or CRLF; a line starting with ';' is a comment.
// The file is read once, by the first call that needs it, and what was read
// answers every later read (a write reads the file afresh and keeps what it
// wrote). A missing file reads as empty; so does one that exists but cannot
// be read (see readError). UI thread only (no locking).
class TIniFile
{
public:
    // No settings file comes near this: [PORT] takes under a hundred bytes,
    // and sections such as [MEMORIES], [LINES] or [KENWOOD] add a few
    // kilobytes at most. A larger file is not read at all, so that a link
    // to something else (a large log, /dev/zero) cannot take the memory.
    static constexpr qsizetype MaxFileSize = 1024 * 1024;

    explicit TIniFile(const QString& fileName);

    const QString& fileName() const { return m_fileName; }
    // Whether something stands at the path, a file or not.
    bool exists() const;
    // Why the file that exists cannot be read, as "read <path>: <reason>":
    // it is no regular file (a folder, a FIFO, a device), it is larger than
    // MaxFileSize, or the system refused. Empty when it was read, or is
    // missing.
    const QString& readError() const;

    // True when the section has the key, whatever its value.
    bool valueExists(const QString& section, const QString& key) const;
    QString readString(const QString& section, const QString& key,
                       const QString& defaultValue) const;
    // Decimal, "$" or "0x" hexadecimal; anything that is not a valid 32-bit
    // signed integer yields the default.
    int readInteger(const QString& section, const QString& key, int defaultValue) const;
    // An integer read with the default 1 or 0; true when not 0.
    bool readBool(const QString& section, const QString& key, bool defaultValue) const;

    // Each write replaces the file atomically (temporary file in the same
    // directory, synced, then renamed over the old one) and keeps every other
    // line as it was, with its line end. The file, its directory and the
    // section are created when missing; new names are written as given.
    // Raises EIniFileException when the file cannot be written, cannot be
    // read (its lines could not be kept), or the text cannot be stored on one
    // line; the old file then stays as it was.
    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value);

private:
    struct Content
    {
        bool exists = false;
        QByteArray bytes;
        QString readError;
    };
    const Content& content() const;

    QString m_fileName;
    mutable std::optional<Content> m_content;
};
