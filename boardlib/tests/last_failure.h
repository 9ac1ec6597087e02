// Reading the calling thread's failure detail in tests, through the exported
// functions as an application would. The record is filled with a sentinel first
// so that a field the library forgot to write shows up as 0x5A bytes.
#ifndef QRL_TESTS_LAST_FAILURE_H
#define QRL_TESTS_LAST_FAILURE_H

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "qrlink00.h"

inline QRL_FAILURE ReadLastFailure() {
    QRL_FAILURE f;
    std::memset(&f, 0x5A, sizeof f);
    EXPECT_EQ(QrlGetLastFailure(&f), QRL_OK);
    return f;
}

// The text form; its length is the count the function returned, always shorter
// than the buffer.
inline std::string ReadLastFailureText() {
    char line[256];
    const int32_t n = QrlGetLastFailureText(line, sizeof line);
    EXPECT_GT(n, 0);
    EXPECT_LT(n, 256);
    return line;
}

#endif
