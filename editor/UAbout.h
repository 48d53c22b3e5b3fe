#pragma once
// The about box: product name, version and two links (site and mail),
// which open through the main window's shell service.
// OnShow is left to the main window, which focuses its checked background
// kind there.
#include <functional>
#include <string>

#include "platform/forms/Forms.h"

class TButton;
class TImage;
class TLabel;

// Where the about box's links lead.
constexpr const char* QuillomarkSiteUrl = "https://www.quillomark.example/";
constexpr const char* QuillomarkMailAddress = "contact@quillomark.example";

class TAboutBox : public TForm {
public:
    QM_CLASSNAME(TAboutBox)
    explicit TAboutBox(TComponent* AOwner);

    void SiteLabelClick(TObject* Sender);
    void MailLabelClick(TObject* Sender);

    // Opens a URL or a mailto: target; the main window binds its ShellOpen.
    // Unset, the links do nothing.
    std::function<void(const std::string& Target)> OnShellOpen;

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
