#include "banner/BannerTypes.h"

#include <array>

namespace {

std::string Pick(const auto& Names, int Index) {
    if (Index < 0 || Index >= int(Names.size())) return {};
    return Names[std::size_t(Index)];
}

} // namespace

bool BannerFormatSize(int Format, int& Width, int& Height) {
    static constexpr int Sizes[4][2] = {{468, 60}, {234, 60}, {300, 250}, {728, 90}};
    if (Format < 0 || Format > 3) return false;
    Width = Sizes[Format][0];
    Height = Sizes[Format][1];
    return true;
}

std::string CompositionName(int Kind) {
    static constexpr std::array<const char*, 4> Names = {"", "Composition 1:  (1 Texte)",
                                                         "Composition 2:  (2 Textes + 1 image)",
                                                         "Composition 3:  (2 Textes)"};
    return Pick(Names, Kind);
}

std::string BackgroundKindName(int Kind) {
    static constexpr std::array<const char*, 6> Names = {"",
                                                         "Couleur unie",
                                                         "Modèle spécial",
                                                         "Dégradé",
                                                         "Composition de couleurs",
                                                         "Image externe"};
    return Pick(Names, Kind);
}

std::string TextEffectName(int Effect) {
    static constexpr std::array<const char*, TextEffectCount> Names = {
        "Aucun",         "Zoom avant",   "Zoom arrière",  "Lettre par lettre", "Fondu rentrant",
        "Fondu sortant", "Fondu double", "Fondu et zoom", "Défilement",        "Balayage"};
    return Pick(Names, Effect);
}

std::string ImageEffectName(int Effect) {
    static constexpr std::array<const char*, ImageEffectCount> Names = {"Aucun",
                                                                        "Défilement de haut",
                                                                        "Défilement de bas",
                                                                        "Défilement de gauche",
                                                                        "Défilement de droite",
                                                                        "Fondu rentrant"};
    return Pick(Names, Effect);
}

std::string TransitionKindName(int Kind) {
    static constexpr std::array<const char*, TransitionKindCount> Names = {
        "Aucune", "Essuyage", "Fondu", "Séparation verticale", "Séparation horizontale"};
    return Pick(Names, Kind);
}
