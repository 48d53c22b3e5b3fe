#pragma once
// What the editor opens with the desktop: its help guide, the maker's web
// pages and mail address. Each goes through the platform's shell service
// (replaced by a recording one in tests); a missing help guide or a desktop
// that cannot open the target is told to the user in French.
#include <string>

// The help guide shipped beside the program.
constexpr const char* HelpFileName = "Quillomark-aide.html";
constexpr const char* QuillomarkSiteUrl = "https://www.quillomark.example/";
constexpr const char* QuillomarkContactUrl = "https://www.quillomark.example/contact";
constexpr const char* QuillomarkMailAddress = "contact@quillomark.example";

// The program folder + HelpFileName.
std::string HelpFilePath();
// Opens the help guide; false (after telling the user) when it is missing
// or cannot be opened.
bool OpenHelpFile();
// Opens a web or mail address; false (after telling the user) when the
// desktop cannot open it.
bool OpenShellTarget(const std::string& Target);
