#pragma once
// A control for the tests of what stands in front of a window's own
// procedure (hooks, replaced procedures): its own procedure logs and answers
// a probe message, so a test sees in what order everything was told.
#include "platform/forms/Application.h"
#include "platform/forms/Controls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

class TProbe : public TCustomControl {
public:
    // Message is logged as "own" and answered with Answer; it goes no further.
    TProbe(TComponent* AOwner, std::vector<std::string>* Log, UINT Message, LRESULT Answer)
        : TCustomControl(AOwner), Log(Log), Message(Message), Answer(Answer) {}

    std::vector<std::string>* Log;
    UINT Message;
    LRESULT Answer;
    // Other messages logged, as "own<number>", on their way to the control.
    std::vector<UINT> Watched;

    void Dispatch(TMessage& M) override {
        if (M.Msg == Message) {
            Log->push_back("own");
            M.Result = Answer;
            return;
        }
        if (std::find(Watched.begin(), Watched.end(), M.Msg) != Watched.end())
            Log->push_back("own" + std::to_string(M.Msg));
        TCustomControl::Dispatch(M);
    }
};

// Forms started and a probe without owner logging to Log. The test's own
// TearDown deletes the probe, in the order its hooks need.
template <UINT Message, LRESULT Answer> class TProbeTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitForms();
        Probe = new TProbe(nullptr, &Log, Message, Answer);
    }
    TProbe* Probe = nullptr;
    std::vector<std::string> Log;
};
