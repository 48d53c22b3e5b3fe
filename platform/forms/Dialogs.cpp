#include "platform/forms/Dialogs.h"

#include "platform/base/Exception.h"
#include "platform/base/FileNames.h"
#include "platform/base/Text.h"
#include "platform/forms/Application.h"
#include "platform/graphics/Graphic.h"
#include "platform/graphics/JpegImage.h"
#include "platform/graphics/QtSupport.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QPointer>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QTreeView>
#include <QFontDialog>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

std::string UserMessageText(const std::string& Msg) {
    // The platform's own messages, as the user reads them. A leading English
    // text (what failed) and a trailing one (why: a conversion, or the
    // system's reason after a file name) are each replaced; the rest (file
    // names, values) is kept.
    struct TFrench {
        const char* English;
        const char* French;
    };
    static const TFrench Leading[] = {
        {"Can't allocate the DIB handle", "Mémoire insuffisante pour créer l'image"},
        {"Bitmap data is not valid", "Les données de l'image sont incorrectes"},
        {"Bitmap image is not valid", "Image bitmap incorrecte"},
        {"Icon image is not valid", "Image icône incorrecte"},
        {"JPEG image is not valid", "Image JPEG incorrecte"},
        {"Invalid pixel format", "Format de pixel incorrect"},
        {"Unknown picture file extension", "Extension de fichier image inconnue"},
        {"Metafile pictures (.wmf, .emf) are not supported by this program",
         "Les images métafichier (.wmf, .emf) ne sont pas prises en charge par ce programme"},
        {"Out of memory while expanding memory stream", "Mémoire insuffisante"},
        {"Out of memory", "Mémoire insuffisante"},
        {"std::bad_alloc", "Mémoire insuffisante"},
        {"Out of system resources", "Ressources système insuffisantes"},
        {"Control too large to paint", "Fenêtre trop grande pour être dessinée"},
        {"Cannot open file", "Impossible d'ouvrir le fichier"},
        {"Cannot create file", "Impossible de créer le fichier"},
        {"Unable to write to", "Impossible d'écrire dans"},
        {"Stream read error", "Erreur de lecture du flux"},
        {"Stream write error", "Erreur d'écriture du flux"},
        {"Invalid stream position", "Position incorrecte dans le flux"},
        {"Unknown exception", "Exception inconnue"},
        // The GIF reader's errors.
        {"Invalid GIF signature", "Image GIF incorrecte : ce n'est pas un fichier GIF"},
        {"Premature end of data",
         "Image GIF incorrecte : le fichier s'arrête avant la fin de l'image"},
        {"Invalid GIF data", "Image GIF incorrecte : données endommagées"},
        {"Circular decoder table entry", "Image GIF incorrecte : données compressées endommagées"},
        {"Unknown extension type", "Image GIF incorrecte : type d'extension inconnu"},
        {"Unsupported Application Extension block size",
         "Image GIF incorrecte : bloc d'extension d'application non pris en charge"},
    };
    static const TFrench Trailing[] = {
        {" is not a valid integer value", " n'est pas une valeur entière correcte"},
        {" is not a valid floating point value", " n'est pas une valeur décimale correcte"},
        {"Permission denied", "Permission refusée"},
        {"Operation not permitted", "Opération non permise"},
        {"No such file or directory", "Fichier ou dossier introuvable"},
        {"No space left on device", "Plus de place sur le disque"},
        {"Disk quota exceeded", "Quota de disque dépassé"},
        {"Read-only file system", "Système de fichiers en lecture seule"},
        {"Is a directory", "C'est un dossier"},
        {"Not a directory", "Un élément du chemin n'est pas un dossier"},
        {"File name too long", "Nom de fichier trop long"},
        {"File too large", "Fichier trop volumineux"},
        {"Too many open files", "Trop de fichiers ouverts"},
        {"Input/output error", "Erreur d'entrée/sortie"},
        {"Invalid argument", "Argument incorrect"},
        {"Unknown error", "Erreur inconnue"},
        // The JPEG reader's reasons.
        {SJpegNotJpeg, "ce n'est pas un fichier JPEG"},
        {SJpegTruncated, "le fichier s'arrête avant la fin de l'image"},
        {SJpegDamaged, "données d'image endommagées ou non prises en charge"},
    };
    // Each line is read on its own: a message may put the platform's text
    // under a line of its own ("L'animation n'a pas pu être exportée...").
    auto French = [&](std::string Line) {
        for (const TFrench& T : Leading) {
            const std::string_view E = T.English;
            if (Line.compare(0, E.size(), E) == 0) {
                Line = T.French + Line.substr(E.size());
                break;
            }
        }
        // The trailing text may be followed by the closing full stop.
        for (const TFrench& T : Trailing) {
            const std::string_view E = T.English;
            const std::size_t At = Line.rfind(E);
            if (At != std::string::npos && At + E.size() + 1 >= Line.size()) {
                Line = Line.substr(0, At) + T.French + Line.substr(At + E.size());
                break;
            }
        }
        return Line;
    };
    std::string Text;
    std::size_t Start = 0;
    for (;;) {
        const std::size_t End = Msg.find('\n', Start);
        Text += French(Msg.substr(Start, End == std::string::npos ? End : End - Start));
        if (End == std::string::npos) break;
        Text += '\n';
        Start = End + 1;
    }
    return Text;
}

namespace {

const char* ButtonCaption(TMsgDlgBtn B) {
    switch (B) {
    case mbYes:
        return "&Oui";
    case mbNo:
        return "&Non";
    case mbOK:
        return "OK";
    case mbCancel:
        return "Annuler";
    case mbAbort:
        return "&Abandonner";
    case mbRetry:
        return "&Réessayer";
    case mbIgnore:
        return "&Ignorer";
    case mbAll:
        return "&Tous";
    case mbNoToAll:
        return "N&on à tout";
    case mbYesToAll:
        return "O&ui à tout";
    case mbHelp:
        return "&Aide";
    }
    return "";
}

int ButtonResult(TMsgDlgBtn B) {
    switch (B) {
    case mbYes:
        return mrYes;
    case mbNo:
        return mrNo;
    case mbOK:
        return mrOk;
    case mbCancel:
        return mrCancel;
    case mbAbort:
        return mrAbort;
    case mbRetry:
        return mrRetry;
    case mbIgnore:
        return mrIgnore;
    case mbAll:
        return mrAll;
    case mbNoToAll:
        return mrNoToAll;
    case mbYesToAll:
        return mrYesToAll;
    case mbHelp:
        return mrNone;
    }
    return mrNone;
}

// "Images (*.bmp;*.gif)|*.bmp;*.gif|All|*.*" as Qt name filters.
// A filter string "Description|*.a;*.b|Other|*.c" as (description,
// patterns) pairs; a description without patterns is left out.
std::vector<std::pair<std::string, std::string>> FilterPairs(const std::string& Filter) {
    std::vector<std::string> Parts;
    for (std::size_t From = 0;;) {
        const std::size_t Bar = Filter.find('|', From);
        Parts.push_back(Filter.substr(From, Bar - From));
        if (Bar == std::string::npos) break;
        From = Bar + 1;
    }
    std::vector<std::pair<std::string, std::string>> Pairs;
    for (std::size_t I = 0; I + 1 < Parts.size(); I += 2)
        Pairs.emplace_back(Parts[I], Parts[I + 1]);
    return Pairs;
}

QStringList NameFilters(const std::string& Filter) {
    QStringList Result;
    for (const auto& [Text, List] : FilterPairs(Filter)) {
        QString Patterns = QString::fromStdString(List);
        Patterns.replace(';', ' ');
        // Qt shows the description as it stands and takes the patterns from
        // its last brackets: a description that already ends with them
        // ("Fichier (*.qmkf)") gets them once, not twice.
        QString Description = QString::fromStdString(Text);
        const QString Shown = "(" + QString::fromStdString(List) + ")";
        if (Description.endsWith(Shown)) Description.chop(Shown.size());
        Description = Description.trimmed();
        Result << (Description.isEmpty() ? "" : Description + " ") + "(" + Patterns + ")";
    }
    return Result;
}

// Return presses the first of the OK-like buttons, Escape the first of the
// cancel-like ones (or the only button), as message boxes of the class
// library do.
void SetKeyButtons(QMessageBox& Box, const std::vector<std::pair<QAbstractButton*, int>>& Map,
                   const std::vector<int>& Ids, int Ok, int Yes, int Cancel, int No) {
    auto Find = [&](std::initializer_list<int> Wanted) -> QAbstractButton* {
        for (int W : Wanted)
            for (auto& [Button, Id] : Map)
                if (Id == W) return Button;
        return nullptr;
    };
    if (auto* D = qobject_cast<QPushButton*>(Find({Ok, Yes}))) Box.setDefaultButton(D);
    QAbstractButton* Esc = Find({Cancel, No});
    if (Esc == nullptr && Ids.size() == 1) Esc = Map.front().first;
    if (Esc != nullptr) Box.setEscapeButton(Esc);
}

// While a native dialog is open it counts as a modal window of the program
// (Application->ModalLevel), as our own modal forms do. The window it came
// from takes the keyboard back when it closes, also as after our forms:
// where nothing hands the activation back, its keys would reach no window
// until it is clicked.
class TNativeDialogScope {
public:
    TNativeDialogScope() : FWindow(QApplication::activeWindow()) {}
    ~TNativeDialogScope() {
        if (FWindow == nullptr || !FWindow->isVisible()) return;
        FWindow->raise();
        FWindow->activateWindow();
    }
    QWidget* Window() const { return FWindow; }
    TNativeDialogScope(const TNativeDialogScope&) = delete;
    TNativeDialogScope& operator=(const TNativeDialogScope&) = delete;

private:
    const TModalScope FCounted;
    QPointer<QWidget> FWindow;
};

class TQtDialogService : public TDialogService {
public:
    int MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                   int) override {
        EnsureGuiApplication();
        const TNativeDialogScope Back;
        QMessageBox Box(Back.Window());
        Box.setWindowTitle(QString::fromStdString(MessageDlgCaption(DlgType)));
        Box.setText(QString::fromStdString(UserMessageText(Msg)));
        switch (DlgType) {
        case mtWarning:
            Box.setIcon(QMessageBox::Warning);
            break;
        case mtError:
            Box.setIcon(QMessageBox::Critical);
            break;
        case mtInformation:
            Box.setIcon(QMessageBox::Information);
            break;
        case mtConfirmation:
            Box.setIcon(QMessageBox::Question);
            break;
        case mtCustom:
            break;
        }
        std::vector<std::pair<QAbstractButton*, int>> Map;
        for (int B = mbYes; B <= mbHelp; ++B)
            if (Buttons.Contains(TMsgDlgBtn(B)))
                Map.emplace_back(Box.addButton(QString::fromUtf8(ButtonCaption(TMsgDlgBtn(B))),
                                               QMessageBox::ActionRole),
                                 ButtonResult(TMsgDlgBtn(B)));
        std::vector<int> Results;
        for (auto& [Button, Result] : Map)
            Results.push_back(Result);
        SetKeyButtons(Box, Map, Results, mrOk, mrYes, mrCancel, mrNo);
        Box.exec();
        for (auto& [Button, Result] : Map)
            if (Box.clickedButton() == Button) return Result;
        return mrCancel;
    }

    int MessageBox(const std::string& Text, const std::string& Caption, int Flags) override {
        EnsureGuiApplication();
        const TNativeDialogScope Back;
        QMessageBox Box(Back.Window());
        Box.setWindowTitle(QString::fromStdString(Caption));
        Box.setText(QString::fromStdString(UserMessageText(Text)));
        switch (Flags & 0xF0) {
        case MB_ICONHAND:
            Box.setIcon(QMessageBox::Critical);
            break;
        case MB_ICONQUESTION:
            Box.setIcon(QMessageBox::Question);
            break;
        case MB_ICONEXCLAMATION:
            Box.setIcon(QMessageBox::Warning);
            break;
        case MB_ICONASTERISK:
            Box.setIcon(QMessageBox::Information);
            break;
        default:
            break;
        }
        std::vector<int> Ids;
        switch (Flags & 0xF) {
        case MB_OKCANCEL:
            Ids = {IDOK, IDCANCEL};
            break;
        case MB_ABORTRETRYIGNORE:
            Ids = {IDABORT, IDRETRY, IDIGNORE};
            break;
        case MB_YESNOCANCEL:
            Ids = {IDYES, IDNO, IDCANCEL};
            break;
        case MB_YESNO:
            Ids = {IDYES, IDNO};
            break;
        case MB_RETRYCANCEL:
            Ids = {IDRETRY, IDCANCEL};
            break;
        default:
            Ids = {IDOK};
            break;
        }
        static const char* Names[] = {"",           "OK",       "Annuler", "&Abandonner",
                                      "&Réessayer", "&Ignorer", "&Oui",    "&Non"};
        std::vector<std::pair<QAbstractButton*, int>> Map;
        for (int Id : Ids)
            Map.emplace_back(Box.addButton(QString::fromUtf8(Names[Id]), QMessageBox::ActionRole),
                             Id);
        SetKeyButtons(Box, Map, Ids, IDOK, IDYES, IDCANCEL, IDNO);
        Box.exec();
        for (auto& [Button, Id] : Map)
            if (Box.clickedButton() == Button) return Id;
        return Ids.size() == 1 ? IDOK : IDCANCEL;
    }

    // The file list's "Type" column in French: the toolkit's catalogue has
    // no French for these words, so a French user would read "Folder" and
    // "png File" next to French headings.
    class TFrenchFileTypes : public QFileIconProvider {
    public:
        QString type(const QFileInfo& Info) const override {
            if (Info.isRoot()) return QStringLiteral("Lecteur");
            if (Info.isSymLink() && !Info.exists()) return QStringLiteral("Raccourci");
            if (Info.isDir()) return QStringLiteral("Dossier");
            const QString Suffix = Info.suffix();
            return Suffix.isEmpty() ? QStringLiteral("Fichier")
                                    : QStringLiteral("Fichier %1").arg(Suffix.toUpper());
        }
    };

    // The file list's sizes and dates in French too, whatever the system's
    // own language: the program's language is French throughout.
    class TFrenchFileDetails : public QIdentityProxyModel {
    public:
        using QIdentityProxyModel::QIdentityProxyModel;
        QVariant data(const QModelIndex& Index, int Role) const override {
            const auto* Files = qobject_cast<const QFileSystemModel*>(sourceModel());
            if (Files != nullptr && Role == Qt::DisplayRole) {
                const QModelIndex Source = mapToSource(Index);
                if (Index.column() == 1 && !Files->isDir(Source))
                    return QLocale().formattedDataSize(Files->size(Source));
                if (Index.column() == 3)
                    return QLocale().toString(Files->lastModified(Source), QLocale::ShortFormat);
            }
            return QIdentityProxyModel::data(Index, Role);
        }
    };

    TFileDialogAnswer FileDialog(const TFileDialogRequest& R) override {
        EnsureGuiApplication();
        const TNativeDialogScope Back;
        QFileDialog Dialog(Back.Window());
        static TFrenchFileTypes FrenchTypes;
        Dialog.setIconProvider(&FrenchTypes);
        Dialog.setProxyModel(new TFrenchFileDetails(&Dialog));
        // Wide enough for the French column headings and a whole date: the
        // name takes what the size, type and date leave.
        Dialog.resize(std::max(Dialog.width(), 780), std::max(Dialog.height(), 460));
        if (auto* Details = Dialog.findChild<QTreeView*>()) {
            QHeaderView* Header = Details->header();
            Header->setStretchLastSection(false);
            Header->setSectionResizeMode(QHeaderView::ResizeToContents);
            Header->setSectionResizeMode(0, QHeaderView::Stretch);
        }
        // Without a title of its own the dialog says what it does, in French.
        Dialog.setWindowTitle(QString::fromStdString(!R.Title.empty() ? R.Title
                                                     : R.Save         ? "Enregistrer sous"
                                                                      : "Ouvrir"));
        Dialog.setAcceptMode(R.Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        if (R.Save)
            Dialog.setFileMode(QFileDialog::AnyFile);
        else if (R.Options.Contains(ofAllowMultiSelect))
            Dialog.setFileMode(QFileDialog::ExistingFiles);
        else if (R.Options.Contains(ofFileMustExist))
            Dialog.setFileMode(QFileDialog::ExistingFile);
        else
            Dialog.setFileMode(QFileDialog::AnyFile);
        if (!R.InitialDir.empty()) Dialog.setDirectory(QString::fromStdString(R.InitialDir));
        const QStringList Filters = NameFilters(R.Filter);
        if (!Filters.isEmpty()) {
            Dialog.setNameFilters(Filters);
            if (R.FilterIndex >= 1 && R.FilterIndex <= Filters.size())
                Dialog.selectNameFilter(Filters[R.FilterIndex - 1]);
        }
        // The dialog's owner asks about replacing a file (TOpenDialog::Execute).
        if (R.Save) Dialog.setOption(QFileDialog::DontConfirmOverwrite);
        // Last: choosing a filter or an option empties the name field.
        if (!R.FileName.empty()) {
            const QFileInfo Info(QString::fromStdString(R.FileName));
            if (Info.isAbsolute()) Dialog.setDirectory(Info.absolutePath());
            Dialog.selectFile(Info.fileName());
        }
        TFileDialogAnswer A;
        A.FilterIndex = R.FilterIndex;
        if (Dialog.exec() != QDialog::Accepted) return A;
        A.Accepted = true;
        for (const QString& F : Dialog.selectedFiles())
            A.Files.push_back(F.toStdString());
        const int Index = int(Filters.indexOf(Dialog.selectedNameFilter()));
        if (Index >= 0) A.FilterIndex = Index + 1;
        A.Accepted = !A.Files.empty();
        return A;
    }

    bool ColorDialog(TColor& Color) override {
        EnsureGuiApplication();
        const TNativeDialogScope Back;
        const std::int32_t Rgb = ColorToRGB(Color);
        const QColor C = QColorDialog::getColor(
            QColor(Rgb & 0xFF, (Rgb >> 8) & 0xFF, (Rgb >> 16) & 0xFF), Back.Window());
        if (!C.isValid()) return false;
        Color = TColor(C.red() | (C.green() << 8) | (C.blue() << 16));
        return true;
    }

    bool FontDialog(TFont& Font) override {
        EnsureGuiApplication();
        const TNativeDialogScope Back;
        bool Ok = false;
        QFont Initial(QString::fromStdString(Font.Name()), Font.Size());
        const QFont F = QFontDialog::getFont(&Ok, Initial, Back.Window());
        if (!Ok) return false;
        Font.SetName(F.family().toStdString());
        if (F.pointSize() > 0) Font.SetSize(F.pointSize());
        return true;
    }
};

TDialogService* GInstalled = nullptr;

TDialogService* QtService() {
    static TDialogService* S = new TQtDialogService;
    return S;
}

bool OnlyOk(TMsgDlgButtons B) {
    return B == TMsgDlgButtons{mbOK};
}

} // namespace

TDialogService* DialogService() {
    return GInstalled != nullptr ? GInstalled : QtService();
}
void SetDialogService(TDialogService* Service) {
    GInstalled = Service;
}

TDialogServiceScope::TDialogServiceScope(TDialogService* Service) : FPrevious(GInstalled) {
    GInstalled = Service;
}
TDialogServiceScope::~TDialogServiceScope() {
    GInstalled = FPrevious;
}

std::string MessageDlgCaption(TMsgDlgType DlgType) {
    switch (DlgType) {
    case mtWarning:
        return "Avertissement";
    case mtError:
        return "Erreur";
    case mtInformation:
        return "Information";
    case mtConfirmation:
        return "Confirmation";
    case mtCustom:
        break;
    }
    return Application != nullptr ? Application->Title() : std::string();
}

int MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx) {
    return DialogService()->MessageDlg(Msg, DlgType, Buttons, HelpCtx);
}

void ShowMessage(const std::string& Msg) {
    MessageDlg(Msg, mtCustom, {mbOK}, 0);
}

void TScriptedDialogService::Record(const TCall& C) {
    Calls.push_back(C);
    const TModalScope Counted;
    if (WhileOpen) WhileOpen(C);
}

int TScriptedDialogService::MessageDlg(const std::string& Msg, TMsgDlgType DlgType,
                                       TMsgDlgButtons Buttons, int) {
    TCall C;
    C.Kind = "MessageDlg";
    C.Text = Msg;
    C.Caption = MessageDlgCaption(DlgType);
    C.DlgType = DlgType;
    C.Buttons = Buttons;
    Record(C);
    if (Answers.empty()) {
        if (OnlyOk(Buttons)) return mrOk;
        throw EInvalidOperation("Unexpected message dialog: " + Msg);
    }
    const int A = Answers.front();
    Answers.pop_front();
    return A;
}

int TScriptedDialogService::MessageBox(const std::string& Text, const std::string& Caption,
                                       int Flags) {
    TCall C;
    C.Kind = "MessageBox";
    C.Text = Text;
    C.Caption = Caption;
    C.Flags = Flags;
    Record(C);
    if (Answers.empty()) {
        if ((Flags & 0xF) == MB_OK) return IDOK;
        throw EInvalidOperation("Unexpected message box: " + Text);
    }
    const int A = Answers.front();
    Answers.pop_front();
    return A;
}

TFileDialogAnswer TScriptedDialogService::FileDialog(const TFileDialogRequest& Request) {
    TCall C;
    C.Kind = "FileDialog";
    C.Caption = Request.Title;
    C.File = Request;
    Record(C);
    if (FileAnswers.empty()) throw EInvalidOperation("Unexpected file dialog: " + Request.Title);
    TFileDialogAnswer A = FileAnswers.front();
    FileAnswers.pop_front();
    return A;
}

bool TScriptedDialogService::ColorDialog(TColor& Color) {
    TCall C;
    C.Kind = "ColorDialog";
    Record(C);
    if (ColorAnswers.empty()) throw EInvalidOperation("Unexpected colour dialog");
    const TColor A = ColorAnswers.front();
    ColorAnswers.pop_front();
    if (A == clNone) return false;
    Color = A;
    return true;
}

bool TScriptedDialogService::FontDialog(TFont& Font) {
    TCall C;
    C.Kind = "FontDialog";
    Record(C);
    if (FontAnswers.empty()) throw EInvalidOperation("Unexpected font dialog");
    const std::string A = FontAnswers.front();
    FontAnswers.pop_front();
    if (A.empty()) return false;
    Font.SetName(A);
    return true;
}

namespace {

// Whether a file saved under the filter's entry Index (from 1) may keep the
// extension Ext (lower case, no dot): it is one the entry lists, or the
// entry takes every file.
bool FilterTakesExtension(const std::string& Filter, int Index, const std::string& Ext) {
    const auto Pairs = FilterPairs(Filter);
    const std::size_t At = std::size_t(std::max(Index, 1)) - 1;
    if (At >= Pairs.size()) return false;
    const std::string& List = Pairs[At].second;
    for (std::size_t Pos = 0; Pos <= List.size();) {
        const std::size_t End = std::min(List.find(';', Pos), List.size());
        const std::string Pattern = LowerCase(List.substr(Pos, End - Pos));
        if (Pattern == "*" || Pattern == "*.*" || Pattern == "*." + Ext) return true;
        Pos = End + 1;
    }
    return false;
}

// The folder of the file last chosen in a file dialog. The system's dialogs
// make it the current folder (unless ofNoChangeDir), so that the next dialog
// without a folder of its own opens where the user last was; the program's
// own current folder is left alone and the folder is kept here instead.
std::string& LastDialogFolder() {
    static std::string Folder;
    return Folder;
}

} // namespace

bool TOpenDialog::Execute() {
    for (;;) {
        TFileDialogRequest R;
        R.Save = IsSave();
        R.Title = Title;
        R.Filter = Filter;
        R.FilterIndex = FilterIndex;
        R.FileName = FileName;
        R.InitialDir = InitialDir;
        if (R.InitialDir.empty() && ExtractFilePath(R.FileName).empty())
            R.InitialDir = LastDialogFolder();
        R.DefaultExt = DefaultExt;
        R.Options = Options;
        TFileDialogAnswer A = DialogService()->FileDialog(R);
        if (!A.Accepted || A.Files.empty()) return false;
        if (!DefaultExt.empty()) {
            const std::string Ext = DefaultExt[0] == '.' ? DefaultExt.substr(1) : DefaultExt;
            for (std::string& F : A.Files) {
                // A dot inside a saved name ("soldes.2027") starts no
                // extension of the chosen type: the file still gets one, or
                // the dialog that filters on it would never list it.
                const std::string Own = std::filesystem::path(F).extension().string();
                const bool Kept =
                    R.Save ? !Own.empty() && (LowerCase(Own.substr(1)) == LowerCase(Ext) ||
                                              FilterTakesExtension(Filter, A.FilterIndex,
                                                                   LowerCase(Own.substr(1))))
                           : !Own.empty();
                if (!Kept) F += "." + Ext;
            }
        }
        // Asked here, once the default extension is on the name, so that
        // "banner" is checked as the "banner.gif" that would be replaced.
        // "No" goes back to the dialog with the name chosen.
        std::error_code Ec;
        if (R.Save && Options.Contains(ofOverwritePrompt) &&
            std::filesystem::exists(A.Files.front(), Ec) &&
            MessageDlg(A.Files.front() + " existe déjà.\nVoulez-vous le remplacer ?", mtWarning,
                       {mbYes, mbNo}, 0) != mrYes) {
            FileName = A.Files.front();
            FilterIndex = A.FilterIndex;
            continue;
        }
        Files = A.Files;
        FileName = Files.front();
        FilterIndex = A.FilterIndex;
        if (!Options.Contains(ofNoChangeDir)) LastDialogFolder() = ExtractFileDir(FileName);
        return true;
    }
}

TOpenPictureDialog::TOpenPictureDialog(TComponent* AOwner) : TOpenDialog(AOwner) {
    Filter = GraphicFilter();
}

TSavePictureDialog::TSavePictureDialog(TComponent* AOwner) : TSaveDialog(AOwner) {
    Filter = GraphicFilter();
}
