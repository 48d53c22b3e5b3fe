#pragma once
// Small helpers shared by the test programs.
#include <string>

// Runs Action and returns the message of the exception of class E it raises,
// or "no error" when it raises nothing.
template <class E, class F> std::string MessageOf(F&& Action) {
    try {
        Action();
    } catch (const E& Error) {
        return Error.Message();
    }
    return "no error";
}
