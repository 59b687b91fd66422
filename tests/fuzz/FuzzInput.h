// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Helpers shared by the fuzz targets: a reader over the fuzzer's bytes and a
// check that aborts, so that libFuzzer keeps the input that broke it.

#include <QByteArrayView>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Takes bytes from the front of the input; past the end it yields nothing.
class FuzzInput
{
public:
    FuzzInput(const std::uint8_t* data, std::size_t size)
        : m_rest(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size))
    {
    }

    bool atEnd() const { return m_rest.isEmpty(); }
    std::uint8_t takeByte()
    {
        if (m_rest.isEmpty())
            return 0;
        const auto byte = static_cast<std::uint8_t>(m_rest.front());
        m_rest = m_rest.sliced(1);
        return byte;
    }
    QByteArrayView take(qsizetype count)
    {
        const QByteArrayView taken = m_rest.first(qMin(count, m_rest.size()));
        m_rest = m_rest.sliced(taken.size());
        return taken;
    }
    QByteArrayView rest() { return take(m_rest.size()); }

private:
    QByteArrayView m_rest;
};

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
