#pragma once

#include "app/SecuritySettings.h"
#include "app/Services.h"
#include "connect/Form1.h"
#include "platform/QtDialogs.h"
#include "sides/ConnectionProfile.h"
#include "support/TestServices.h"

#include <QStringList>
#include <QTimer>

#include <string>
#include <vector>

// The SHA-256 of a PEM certificate file, as the program shows it; empty when it cannot be read.
std::string fingerprintOf(const std::string &pemFile);

// Answers each of the program's own boxes as it opens, by keys, and keeps its text; a box that
// asks for text is typed the next of typed first.
struct BoxAnswers {
    QStringList texts;
    std::vector<int> keys; // one per box; Return after they run out
    QStringList typed;
    QTimer poll;
    BoxAnswers();
};

// The connection window with the program's own boxes (real QMessageBoxes), side #1's login typed in.
struct BoxedConnectionWindow {
    TestServices t;
    platform::QtDialogs boxes;
    app::Services services;
    connectwindow::Form1 form;

    explicit BoxedConnectionWindow(const sides::ConnectionProfile &side1);
    // Test Connection of side #1, clicked.
    void testConnection();
    // The certificate side #1 remembers.
    app::RememberedCertificate remembered();
};
