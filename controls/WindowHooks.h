#pragma once
// Window hooks of the form controls, and small support routines.
//
// TCtlWindowHook shows each message of a windowed control to its
// BeforeMessage and AfterMessage events. All hooks of one control share one
// TControlHook, which sits on the control's subclass chain
// (platform/forms/Hooks.h) as one before-node and one after-node: the
// control's window may be re-created at will (the chain belongs to the
// control, not to its window), and a hook leaving during a message, or a
// control freed inside its own message, never leaves a dangling procedure:
// a control hook without listeners is taken off the chain at once and freed
// later, from the hook list's utility window.
//
// Also here: text routines of the placement and spin edit, the reversible
// hexadecimal encoding of stored values, bitmaps of a resource module, the
// two extra screen cursors and the long-year date flag. Main thread only.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/Exception.h"
#include "platform/classes/Component.h"
#include "platform/forms/Controls.h"
#include "platform/forms/Hooks.h"
#include "platform/graphics/Bitmap.h"

QM_DECLARE_EXCEPTION(EResNotFound, Exception);

using THookMessageEvent = std::function<void(TObject* Sender, TMessage& Msg, bool& Handled)>;

class TControlHook;

class TCtlWindowHook : public TComponent {
public:
    QM_CLASSNAME(TCtlWindowHook)
    explicit TCtlWindowHook(TComponent* AOwner);
    ~TCtlWindowHook() override;

    bool Active() const { return FActive; }
    void SetActive(bool Value);
    TWinControl* WinControl() const { return FControl; }
    void SetWinControl(TWinControl* Value);

    // Told from the last registered hook to the first; the first to set
    // Handled ends the round (and, before the message, keeps it from the
    // control: only WM_DESTROY always reaches it). Exceptions go to the
    // application's handler.
    THookMessageEvent BeforeMessage;
    THookMessageEvent AfterMessage;

    // Streams the hooked control as "IsForm" when it is the owner form.
    void DefineProperties(TFiler* Filer) override;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TControlHook;
    void Register();
    void Unregister();
    bool FActive = true;
    TWinControl* FControl = nullptr;
    TControlHook* FHook = nullptr;
};

// Registers TCtlWindowHook's stream properties and class (idempotent).
void RegisterWindowHookClasses();

// Private messages of the hook list's utility window.
constexpr UINT CM_RECREATEHOOK = 0xB052; // accepted; the chain needs no re-install
constexpr UINT CM_FREEHOOK = 0xB053;     // WParam: a TControlHook without listeners

// Number of control hooks alive (for diagnostics and tests).
int ControlHookCount();

// Start-up: the two screen cursors, the long-year flag (from
// ShortDateFormat) and the stream registration of TCtlWindowHook. Shut-down: frees the hook list.
void InitWindowHooks(std::string_view ShortDateFormat = "dd/mm/yyyy");
void DoneWindowHooks();

constexpr int crCtlHand = 14000;
constexpr int crCtlDrag = 14001;

// True when the upper-cased short date format contains "YYYY"; set by
// InitWindowHooks.
extern bool LongYearDateFormat;

// ---- text routines (byte-wise; delimiters are a set of bytes) ----
std::string ReplaceAll(std::string_view Text, std::string_view Search,
                       std::string_view Replacement);
std::string DeleteChars(std::string_view Text, char Ch);
std::string TrimLeftSpaces(std::string_view Text);
std::string TrimRightSpaces(std::string_view Text);
std::string TrimSpaces(std::string_view Text);
std::string RepeatChar(char Ch, int Count);
int CountWords(std::string_view Text, std::string_view Delimiters);
// 1-based position of the N-th word; 0 when there is none.
int WordStart(int N, std::string_view Text, std::string_view Delimiters);
std::string ExtractWordAt(int N, std::string_view Text, std::string_view Delimiters);

// Each byte XOR the key's byte (none when the key is empty), as two
// lower-case hexadecimal digits; XorFromHex reverses it (a pair that is not
// hexadecimal reads as 32, an odd last character is ignored).
std::string XorToHex(std::string_view Key, std::string_view Text);
std::string XorFromHex(std::string_view Key, std::string_view Hex);

// ---- bitmap resources ----
// The named and numbered bitmaps a module carries (names match without
// regard to case). Each entry makes a new bitmap on request.
class TResourceModule {
public:
    using TBitmapFactory = std::function<std::unique_ptr<TBitmap>()>;
    void AddBitmap(const std::string& Name, TBitmapFactory Factory);
    void AddBitmap(int Id, TBitmapFactory Factory);
    const TBitmapFactory* FindBitmap(const std::string& Key) const;

private:
    std::map<std::string, TBitmapFactory> FBitmaps;
};

// A new bitmap of Module's resource Name (or Id), or null on any failure.
// Without a module the system's predefined bitmaps are asked, and there are
// none here.
std::unique_ptr<TBitmap> LoadModuleBitmap(const TResourceModule* Module, const std::string& Name);
std::unique_ptr<TBitmap> LoadModuleBitmap(const TResourceModule* Module, int Id);
// The same, raising EResNotFound "Ressource %s non trouvée" when missing.
std::unique_ptr<TBitmap> CreateModuleBitmap(const TResourceModule* Module, const std::string& Name);
std::unique_ptr<TBitmap> CreateModuleBitmap(const TResourceModule* Module, int Id);
