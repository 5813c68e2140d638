// The display APIs the display interface creates for the GPU vendors among
// its adapters, in the fixed binding order.
#pragma once

class CDisplayInterface;

// Creates and initialises the APIs that suit the adapters' vendors; an API
// whose Init answers 0 is deleted, the others are appended to the
// interface's API list.
void CreateDisplayAPIs(CDisplayInterface* display);
