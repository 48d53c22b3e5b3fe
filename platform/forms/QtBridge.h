#pragma once
// Internal to platform/forms: the link between controls and Qt widgets.
// Only .cpp files include this header; public headers never do.
//
// Each native widget of a control carries an event filter that turns the
// toolkit's events into window messages sent through the control's
// WindowProc. When such a message reaches TWinControl::DefaultHandler (the
// control and its hooks did not swallow it), the event also goes on to the
// widget's own handling, as a message reaching the default window
// procedure would.
#include <functional>
#include <string>
#include <vector>

#include "platform/base/Types.h"
#include "platform/forms/Controls.h"
#include "platform/forms/Messages.h"

class QWidget;

// A plain window that shows the control's backing buffer.
QWidget* BridgeCreatePlainWindow(TWinControl* Control, const TCreateParams& Params,
                                 QWidget* Parent);
// Installs the event filter and applies the window flags, geometry, title,
// enabled state and cursor of a freshly made widget.
void BridgeAttach(QWidget* Widget, TWinControl* Control, const TCreateParams& Params);
// Cuts the widget from its control and deletes it (later, when one of the
// bridge's events is being handled).
void BridgeDeleteWidget(QWidget* Widget);

void BridgeSetGeometry(QWidget* Widget, const TWinControl* Control);
void BridgeSetVisible(QWidget* Widget, bool Visible);
void BridgeSetEnabled(QWidget* Widget, bool Enabled);
void BridgeSetTitle(QWidget* Widget, const std::string& Title);
void BridgeSetCursor(QWidget* Widget, TCursor Cursor);
void BridgeSetOverrideCursor(TCursor Cursor);
void BridgeUpdate(QWidget* Widget);
// Paints the widget now, as Update does (waits for a just-shown window to
// be mapped first).
void BridgeRepaintNow(QWidget* Widget);
void BridgeSetFocus(QWidget* Widget);
// From now on the window shows where the focus is (focus rectangles, the
// focused button's frame): the user is moving it with the keyboard.
void BridgeShowFocusCues(QWidget* Widget);
void BridgeRaise(QWidget* Widget, bool Top);
void BridgeSetModal(QWidget* Widget, bool Modal);
// The largest window size the toolkit accepts (no limit).
constexpr int BridgeMaxWindowSize = 16777215;
void BridgeSetSizeLimits(QWidget* Widget, int MinWidth, int MinHeight, int MaxWidth, int MaxHeight);
// 0 normal, 1 minimised, 2 maximised.
void BridgeSetWindowState(QWidget* Widget, int State);

// Called by TWinControl::DefaultHandler.
void BridgeDefaultHandler(TWinControl* Control, TMessage& Message);

// The message loop's link to the toolkit: wake a waiting loop (any thread),
// wait for the next event (at most TimeoutMs; negative: no limit), handle
// pending events without waiting. The wake-up runs Then (when given) on the
// main thread from whichever event loop is running there, ours or one of the
// toolkit's own modal loops.
void BridgeWake(std::function<void()> Then = {});
void BridgeWait(int TimeoutMs);
void BridgeProcessEvents();
void BridgeInstallApplicationHooks();

TRect BridgeScreenRect(bool WorkArea);
std::vector<std::string> BridgeFontFamilies();
// The virtual key of a toolkit key code (0 when it has none).
Word BridgeVirtualKey(int QtKey);
