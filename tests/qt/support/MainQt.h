#pragma once
// Shared by the Qt tests: a fixture whose tear-down fails the test when a
// window survives it, and small event-loop helpers.

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include <functional>
#include <ostream>

// Readable QString values in assertion messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

class WidgetsTest : public ::testing::Test
{
protected:
    void TearDown() override;
};

// Processes events until `condition` holds or `limiteMs` passes; returns the condition.
bool AttendreQue(const std::function<bool()>& condition, int limiteMs = 5000);
