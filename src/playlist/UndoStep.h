#pragma once

#include "platform/ObjectContext.h"

#include <QString>

namespace tetrapan {

// Names the undo step of a tree change for Edit > Undo, and closes it even on an early return.
class UndoStep {
public:
    UndoStep(ObjectContext& context, const QString& name) : context_(context)
    {
        context_.beginUndoGroup(name);
    }
    ~UndoStep() { context_.endUndoGroup(); }
    UndoStep(const UndoStep&) = delete;
    UndoStep& operator=(const UndoStep&) = delete;

private:
    ObjectContext& context_;
};

} // namespace tetrapan
