// A ui::Shell for headless tests: answers message boxes from a queue, records
// every call in order, and can make the log-off request fail.
#pragma once

#include <algorithm>
#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

#include "text/utf.h"
#include "ui/shell.h"

class RecordingShell : public ui::Shell {
public:
    ui::ProductVersion version{L"Quelvane 2", 2, 3};
    std::deque<policy::MessageAnswer> answers;  // OK when empty
    bool logOffFails = false;

    std::vector<policy::MessageBoxRequest> messages;
    std::vector<std::string> calls;  // "ShowMessage <title>", "OpenDocument <address>", "LogOff", ...

    int Count(const std::string& call) const { return static_cast<int>(std::count(calls.begin(), calls.end(), call)); }

    policy::MessageAnswer ShowMessage(const policy::MessageBoxRequest& message) override {
        calls.push_back("ShowMessage " + text::ToUtf8(message.title));
        messages.push_back(message);
        if (answers.empty()) return policy::MessageAnswer::Ok;
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
    ui::ProductVersion ReadProductVersion() override {
        calls.push_back("ReadProductVersion");
        return version;
    }
    void OpenDocument(const std::wstring& address) override {
        calls.push_back("OpenDocument " + text::ToUtf8(address));
    }
    void AnnouncePolicyChange() override { calls.push_back("AnnouncePolicyChange"); }
    void LogOff() override {
        calls.push_back("LogOff");
        if (logOffFails) throw std::runtime_error("the instrumentation service cannot be reached");
    }
    void EndProgram() override { calls.push_back("EndProgram"); }
};
