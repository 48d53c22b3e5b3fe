#pragma once
// The clipboard service: bitmaps, text and byte blocks of registered formats
// on the system clipboard, through the toolkit's clipboard of the GUI
// application (created on first use; headless runs use the offscreen
// platform, whose clipboard works within the process). Where no clipboard is
// reachable (no GUI application can exist, or the call comes from a thread
// other than the GUI thread) every operation raises EClipboardException
// "Cannot open clipboard".
//
// Writes between Open and Close form one clipboard content: the first write
// of a session replaces what was there, later ones add to it, and Close
// publishes it. A write outside Open/Close is a session of its own.
#include <memory>
#include <string>
#include <vector>

#include "platform/base/Exception.h"
#include "platform/base/Types.h"
#include "platform/classes/Persistent.h"

QM_DECLARE_EXCEPTION(EClipboardException, Exception);

constexpr const char* SCannotOpenClipboard = "Cannot open clipboard";
constexpr const char* SUnknownClipboardFormat = "Unsupported clipboard format";

constexpr Word CF_TEXT = 1;
constexpr Word CF_BITMAP = 2;
constexpr Word CF_DIB = 8;
constexpr Word CF_UNICODETEXT = 13;

// The number of a named clipboard format: the same name (ignoring ASCII case)
// always gives the same number, from 0xC000 upwards. 0 for an empty name.
Word RegisterClipboardFormat(const std::string& Name);
// The registered name of Format ("" when it is not a registered format).
std::string GetClipboardFormatName(Word Format);

class TClipboard : public TPersistent {
public:
    QM_CLASSNAME(TClipboard)
    TClipboard();
    ~TClipboard() override;
    TClipboard(const TClipboard&) = delete;
    TClipboard& operator=(const TClipboard&) = delete;

    void Open();
    void Close();
    void Clear();

    // CF_BITMAP and CF_DIB: a picture; CF_TEXT and CF_UNICODETEXT: text; a
    // registered format: its bytes.
    bool HasFormat(Word Format);

    // Puts a picture (TGraphic or TPicture) on the clipboard as a bitmap.
    void Assign(const TPersistent* Source) override;

    std::string AsText();
    void SetAsText(const std::string& Value);

    // Bytes of a registered format.
    void SetBuffer(Word Format, const std::vector<Byte>& Data);
    std::vector<Byte> GetBuffer(Word Format);

protected:
    // A TBitmap or TPicture receives the clipboard's picture;
    // EInvalidGraphic SUnknownClipboardFormat when there is none.
    void AssignTo(TPersistent* Dest) const override;

private:
    struct TState;
    std::unique_ptr<TState> FState;
};

// The process's clipboard object.
TClipboard* Clipboard();
