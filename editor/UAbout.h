#pragma once
// The about box: product name, version and two links (site and mail),
// which open through the desktop (editor/ShellLinks.h).
// OnShow is left to the main window, which focuses its checked background
// kind there.
#include <functional>
#include <string>

#include "editor/ShellLinks.h"
#include "platform/forms/Forms.h"

class TButton;
class TImage;
class TLabel;

class TAboutBox : public TForm {
public:
    QM_CLASSNAME(TAboutBox)
    explicit TAboutBox(TComponent* AOwner);

    void SiteLabelClick(TObject* Sender);
    void MailLabelClick(TObject* Sender);

    TImage* ProgramIcon;
    TLabel* ProductName;
    TLabel* Version;
    TLabel* Copyright;
    TLabel* SiteCaption;
    TLabel* SiteLabel;
    TLabel* MailCaption;
    TLabel* MailLabel;
    TButton* OKButton;
};
