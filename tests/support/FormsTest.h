#pragma once
// The fixture of the tests that make windows: the forms are started before
// each test and shut down after it, with no idle handler left behind.
#include "platform/forms/Application.h"

#include <gtest/gtest.h>

class TFormsTest : public ::testing::Test {
protected:
    void SetUp() override { InitForms(); }
    void TearDown() override {
        Application->OnIdle = nullptr;
        DoneForms();
    }
};
