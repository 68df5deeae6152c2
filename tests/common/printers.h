#pragma once
// How a failed expectation shows Qt's strings and byte arrays: text quoted, with its escapes;
// bytes that are not text in the notation the tests write frames in, hex("01 C8 07"). Every
// test source includes this first (tests/CMakeLists.txt), so a type prints alike everywhere.
#include <algorithm>
#include <gtest/gtest-printers.h>
#include <ostream>
#include <QByteArray>
#include <QString>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << ::testing::PrintToString(text.toStdString());
}

inline void PrintTo(const QByteArray& bytes, std::ostream* os) {
    const bool text = std::all_of(bytes.begin(), bytes.end(), [](char c) {
        return (c >= ' ' && c <= '~') || c == '\r' || c == '\n' || c == '\t';
    });
    if (text)
        *os << ::testing::PrintToString(bytes.toStdString());
    else
        *os << "hex(\"" << bytes.toHex(' ').toUpper().toStdString() << "\")";
}
