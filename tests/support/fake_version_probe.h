// A version probe that answers what the test says and counts the questions.
#pragma once

#include <string>

#include "registry/os_version.h"

class FakeVersionProbe : public registry::OsVersionProbe {
public:
    explicit FakeVersionProbe(std::wstring answer) : answer(std::move(answer)) {}

    std::wstring GetOsVersion() override {
        ++questions;
        return answer;
    }

    std::wstring answer;
    int questions = 0;
};
