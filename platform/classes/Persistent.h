#pragma once
// TPersistent: an object whose state can be copied from another object of a
// compatible class (Assign) and written to or read from a component stream.
// Assign first lets the destination copy what it understands; when it cannot,
// the source is asked to copy itself into the destination (AssignTo); when
// neither knows the other, EConvertError names both classes.
#include "platform/base/Object.h"

#include <string>

class TFiler;

class TPersistent : public TObject {
public:
    QM_CLASSNAME(TPersistent)

    // Copies Source into this object. The base version hands the work to
    // Source->AssignTo(this); a null Source raises the conversion error with
    // "nil" as the source class.
    virtual void Assign(const TPersistent* Source);

    // The hook through which the component stream writes and reads the
    // properties that are not simple values (a bitmap's binary "Data", ...).
    virtual void DefineProperties(TFiler* Filer) {}

    // The object that owns this one in a property path (a bitmap's owning
    // image control, ...); nullptr at the top.
    virtual TPersistent* GetOwner() const { return nullptr; }

    // The dotted path of the object for messages and the designer: the owner's
    // path, ".", then the class name; a component answers its Name.
    virtual std::string GetNamePath() const;

protected:
    // Copies this object into Dest; the base version raises EConvertError
    // "Cannot assign a <this class> to a <Dest class>".
    virtual void AssignTo(TPersistent* Dest) const;

    // Raises the conversion error for Source (nullptr gives "nil") into this.
    [[noreturn]] void AssignError(const TPersistent* Source) const;
};
