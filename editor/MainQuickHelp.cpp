// The "Aide rapide" panel: the hint of the control under the pointer (or of
// the font, style and effect box taking the focus) is shown in Help. The
// hints live here, in one table by component name, so that every page of
// the window speaks in one voice.
#include "editor/UMain.h"

#include <utility>

namespace {

constexpr const char* PanelToggleHint = "Cliquez ici pour ouvrir ou fermer ce panneau.";

constexpr std::pair<const char*, const char*> QuickHelpHints[] = {
    // The canvas, the panels and the buttons above the canvas.
    {"img32", "La bannière. Cliquez sur un texte ou une image pour le modifier, faites glisser "
              "une image pour la déplacer, tirez les poignées des bords pour changer la "
              "taille. Les boutons \"x\" prennent ici une couleur."},
    {"pnltexts", "Textes : choisissez un texte et l'une de ses valeurs, puis réglez son contenu, "
                 "sa couleur, sa police, sa taille, sa position et son effet."},
    {"pnlimages", "Images : jusqu'à trois images, chargées d'un fichier ou de la bibliothèque, "
                  "avec leur position, leur couleur transparente et leur effet."},
    {"pbanim", "Animation : répétition, transition entre les valeurs et vitesse de "
               "l'animation."},
    {"panelback", "Arrière-plan de la bannière : couleur unie, modèle, dégradé ou image "
                  "externe."},
    {"pnlbord", "Bordures : une ligne d'un pixel sur chaque côté coché, dans la couleur "
                "choisie."},
    {"Pnlhelp", "Placez le pointeur sur un élément de la fenêtre pour lire ici à quoi il "
                "sert."},
    {"Previewanimbtn", "Construit l'animation GIF de la bannière et l'affiche."},
    {"ExportBtn", "Enregistre l'animation de la bannière dans un fichier GIF optimisé."},
    {"Tbnew", "Crée une nouvelle bannière."},
    {"Tbopen", "Ouvre une bannière enregistrée ; la flèche propose les fichiers récents."},
    {"Tbsave", "Enregistre la bannière."},
    {"tbhelp", "Ouvre l'aide de Quillomark."},
    {"Image3", "Masque les panneaux de propriétés pour agrandir la bannière."},
    {"Image5", "Affiche les panneaux de propriétés."},
    // Side-panel headings and their arrows.
    {"Headbackimage", PanelToggleHint},
    {"Headbacklab", PanelToggleHint},
    {"Headbordimage", PanelToggleHint},
    {"headbordlab", PanelToggleHint},
    {"HeadHelpimage", PanelToggleHint},
    {"headhelplab", PanelToggleHint},
    {"O1", PanelToggleHint},
    {"C1", PanelToggleHint},
    {"O2", PanelToggleHint},
    {"C2", PanelToggleHint},
    {"O3", PanelToggleHint},
    {"cC3", PanelToggleHint},
    // "Textes" page.
    {"Texts", "Les textes de la bannière : choisissez celui à modifier."},
    {"Values", "Les valeurs du texte choisi, que l'animation fait alterner : choisissez "
               "celle à modifier."},
    {"Txt", "Le texte de la valeur choisie."},
    {"ct", "La couleur de la valeur choisie."},
    {"Button13", "Choisir la couleur du texte dans la palette complète."},
    {"dxButton2", "Prendre la couleur du texte sur la bannière : cliquez ensuite sur la "
                  "bannière."},
    {"fontbox", "La police de la valeur choisie."},
    {"Stylecombo", "Le style de la valeur choisie : régulier, gras, italique."},
    {"bold", "Gras."},
    {"italic", "Italique."},
    {"fsize", "La taille du texte, en points."},
    {"shadowbox", "Ajoute une ombre sous le texte."},
    {"auto", "Le texte est placé automatiquement."},
    {"custom", "Le texte est placé aux coordonnées X et Y."},
    {"textposx", "Position horizontale du texte, en pixels."},
    {"textposy", "Position verticale du texte, en pixels."},
    {"TextEffectCombo", "L'effet d'entrée de la valeur choisie."},
    {"three", "Le texte principal alterne trois valeurs au lieu de deux."},
    // "Images" page.
    {"Images", "Les images de la bannière : choisissez celle à modifier."},
    {"addimagebtn", "Ajoute une image (trois au plus)."},
    {"supimagebtn", "Enlève la dernière image."},
    {"LoadImageBtn", "Charge l'image choisie à partir d'un fichier ou du presse-papiers."},
    {"ClipArtBtn", "Remplace l'image choisie par une forme de la bibliothèque."},
    {"ImageEffectCombo", "L'effet d'entrée de l'image #1 dans l'animation."},
    {"Imgtrans", "Rend transparente la couleur choisie à côté dans l'image."},
    {"transclimg", "La couleur de l'image qui devient transparente."},
    {"TransDotsBtn", "Choisir la couleur transparente dans la palette complète."},
    {"Button17", "Prendre la couleur transparente sur la bannière : cliquez ensuite sur la "
                 "bannière."},
    {"imgx", "Position horizontale de l'image, en pixels."},
    {"imgy", "Position verticale de l'image, en pixels."},
    {"scal", "La taille de l'image, en pourcentage de l'image chargée."},
    // "Animation" page.
    {"forever", "L'animation recommence sans fin."},
    {"noforever", "L'animation s'arrête après le nombre de tours indiqué."},
    {"loops", "Le nombre de tours de l'animation."},
    {"effectcombo", "La transition d'une valeur à la suivante."},
    {"Slider", "La vitesse de l'animation."},
    // Background and border panels.
    {"rbColor", "Un arrière-plan d'une seule couleur."},
    {"Cl", "La couleur de l'arrière-plan."},
    {"ClDotsBtn", "Choisir la couleur de l'arrière-plan dans la palette complète."},
    {"Button16", "Prendre la couleur de l'arrière-plan sur la bannière : cliquez ensuite sur "
                 "la bannière."},
    {"rbTexture", "Un arrière-plan tiré d'un modèle prêt à l'emploi."},
    {"Button3", "Choisir le modèle et sa couleur."},
    {"rbgrad", "Un arrière-plan en dégradé de deux couleurs."},
    {"dxH", "Dégradé de gauche à droite."},
    {"dxV", "Dégradé de haut en bas."},
    {"cg1", "La première couleur du dégradé."},
    {"cg2", "La seconde couleur du dégradé."},
    {"cg1DotsBtn", "Choisir la première couleur dans la palette complète."},
    {"cg2DotsBtn", "Choisir la seconde couleur dans la palette complète."},
    {"rbImage", "Une image de votre choix en arrière-plan."},
    {"LoadBgBtn", "Charger l'image d'arrière-plan à partir d'un fichier."},
    {"BrLeft", "Une bordure à gauche."},
    {"BrRight", "Une bordure à droite."},
    {"BrTop", "Une bordure en haut."},
    {"BrBottom", "Une bordure en bas."},
    {"clbord", "La couleur des bordures."},
    {"clbordDotsBtn", "Choisir la couleur des bordures dans la palette complète."},
    {"Button2", "Prendre la couleur des bordures sur la bannière : cliquez ensuite sur la "
                "bannière."},
};

// The boxes whose hint also shows when they take the keyboard focus.
constexpr const char* FocusHintBoxes[] = {"fontbox", "Stylecombo", "TextEffectCombo",
                                          "ImageEffectCombo"};

} // namespace

void TMainform::FeedQuickHelp() {
    Help->SetWordWrap(true);
    for (const auto& [Name, Hint] : QuickHelpHints)
        if (auto* C = dynamic_cast<TControl*>(FindComponent(Name))) C->SetHint(Hint);
    // The pointer entering a control shows its hint in the quick-help panel,
    // or the hint of the nearest panel holding it (a page's label tells
    // about its page); what the control did on entering still runs.
    for (int I = 0; I < ComponentCount(); ++I) {
        auto* C = dynamic_cast<TControl*>(Components(I));
        if (C == nullptr || C == Help) continue;
        C->OnMouseEnter = [this, C, Old = std::move(C->OnMouseEnter)](TObject* Sender) {
            for (const TControl* P = C; P != nullptr && P != this; P = P->Parent()) {
                if (!P->Hint().empty()) {
                    Help->SetCaption(P->Hint());
                    break;
                }
            }
            if (Old) Old(Sender);
        };
    }
    for (const char* Name : FocusHintBoxes) {
        auto* C = dynamic_cast<TWinControl*>(FindComponent(Name));
        if (C == nullptr) continue;
        C->OnEnter = [this, C, Old = std::move(C->OnEnter)](TObject* Sender) {
            Help->SetCaption(C->Hint());
            if (Old) Old(Sender);
        };
    }
}
