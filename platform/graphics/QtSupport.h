#pragma once
// Internal helpers of the graphics area that need the toolkit. Only .cpp
// files of platform/ include this header; it names no toolkit type.

// Creates the toolkit's widget application object once, when none exists
// yet, so fonts, pictures and the clipboard can be used from code that has
// no window (tests, the resource generator) and windows can be made.
// Without a display it selects the offscreen platform. Must first be called from the main thread.
// Does nothing when an application object already exists.
void EnsureGuiApplication();
