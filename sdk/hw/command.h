// A reversible hardware change, such as unhiding a chipset function: Save
// keeps the current state, Enable applies the change, Restore puts the kept
// state back. Commands in the root's command list are restored at close.
#pragma once

class CCommand {
public:
    CCommand() = default;
    virtual ~CCommand() = default;
    CCommand(const CCommand&) = delete;
    CCommand& operator=(const CCommand&) = delete;

    virtual int Save() = 0;
    virtual int Enable() = 0;
    virtual int Restore() = 0;
};
