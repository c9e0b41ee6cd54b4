#pragma once

#include "platform/ObjectContext.h"

#include <QString>

namespace tetrapan {

// Names the undo step of a tree change for Edit > Undo, and closes it even on an early return. A title still
// being typed is finished first, as a step of its own: the change would otherwise end the typing inside its
// step, and undoing the change would take the title back with it.
class UndoStep {
public:
    UndoStep(ObjectContext& context, const QString& name) : context_(context)
    {
        context_.commitEditing();
        context_.beginUndoGroup(name);
    }
    ~UndoStep() { context_.endUndoGroup(); }
    UndoStep(const UndoStep&) = delete;
    UndoStep& operator=(const UndoStep&) = delete;

private:
    ObjectContext& context_;
};

} // namespace tetrapan
