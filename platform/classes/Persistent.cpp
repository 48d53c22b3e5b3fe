#include "platform/classes/Persistent.h"

#include "platform/base/Exception.h"

void TPersistent::Assign(const TPersistent* Source) {
    if (Source == nullptr) AssignError(nullptr);
    Source->AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* Dest) const {
    Dest->AssignError(this);
}

void TPersistent::AssignError(const TPersistent* Source) const {
    std::string SourceName = Source != nullptr ? Source->ClassName() : "nil";
    throw EConvertError("Cannot assign a " + SourceName + " to a " + ClassName());
}

std::string TPersistent::GetNamePath() const {
    std::string Result = ClassName();
    if (const TPersistent* Owner = GetOwner()) {
        std::string OwnerPath = Owner->GetNamePath();
        if (!OwnerPath.empty()) Result = OwnerPath + "." + Result;
    }
    return Result;
}
