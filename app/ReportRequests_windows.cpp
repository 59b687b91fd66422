// SPDX-License-Identifier: GPL-3.0-or-later

// Windows has no signal that another program sends to ask for a report.

#include "ReportRequests.h"

class ReportRequests::Watch
{
};

ReportRequests::ReportRequests(std::function<void()>, QObject* parent) : QObject(parent) {}

ReportRequests::~ReportRequests() = default;
