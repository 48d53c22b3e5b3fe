#include "platform/graphics/Metafile.h"

#include <typeinfo>

void TMetafile::LoadFromStream(TStream& Stream) {
    throw EInvalidGraphic(SMetafileNotSupported);
}

void TMetafile::Assign(const TPersistent* Source) {
    if (auto* m = dynamic_cast<const TMetafile*>(Source)) {
        FWidth = m->FWidth;
        FHeight = m->FHeight;
        FEnhanced = m->FEnhanced;
        Changed(this);
        return;
    }
    TGraphic::Assign(Source);
}

std::unique_ptr<TGraphic> TMetafile::NewOfSameClass() const {
    if (typeid(*this) == typeid(TMetafile)) return std::make_unique<TMetafile>();
    return TGraphic::NewOfSameClass();
}
