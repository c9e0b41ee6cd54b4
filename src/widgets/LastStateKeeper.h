#pragma once

namespace tetrapan {

// Something that writes what it shows (open folders, the selected row) back before the program quits.
class LastStateKeeper {
public:
    virtual ~LastStateKeeper() = default;
    virtual void storeLastState() = 0;
};

} // namespace tetrapan
