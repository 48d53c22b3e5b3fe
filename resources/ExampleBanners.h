#pragma once
// The example banners the create-from-example dialog offers, made from their
// definitions (resources/examples.ini): each section names one example by its
// files and gives its texts, background, border and animation in the
// editor's own words. Each example is written as a document and as its
// preview, the GIF the export command writes for the banner the
// create-from-example command starts from that document.
#include <string>

class TBannerDocument;
class TCustomIniFile;

// Where an example's files go and what banner it is, from its section name
// ("E1-4", "GR-E3-1"...).
struct TExampleName {
    std::string Base; // the files without extension, relative to the Examples folder
    int Format = 0;   // TBannerFormat
    int Composition = 0;
    int Number = 0;
};

// False for a name outside the dialog's table.
bool ParseExampleName(const std::string& Section, TExampleName& Name);

// Sets Document up as a new banner of the example's composition and format,
// then as the section defines it; templates come through the document's
// TemplateLoader. Raises EConvertError naming the section and key of an entry
// it cannot read.
void DefineExample(TBannerDocument& Document, TCustomIniFile& Definitions,
                   const std::string& Section);

// Writes the examples of DefinitionsFile into ExamplesFolder, reading the
// templates from BackFolder: part Part (0-based) of Parts, that is every
// Parts-th section from section Part, so that the build can share the work
// between processes. Every example of the dialog's table must be defined,
// and nothing else. Returns the number of examples written.
int WriteExamples(const std::string& DefinitionsFile, const std::string& BackFolder,
                  const std::string& ExamplesFolder, int Part, int Parts);
