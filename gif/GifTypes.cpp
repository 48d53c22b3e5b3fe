#include "gif/GifTypes.h"

void RaiseGIFError(const std::string& Message) {
    throw GIFException(Message);
}

TGIFModuleSettings& GIFSettings() {
    // Trivially destructible members only: no shutdown order to respect.
    static TGIFModuleSettings Settings;
    return Settings;
}
