// The Intel families whose memory controllers are read from the host
// bridge's configuration space, from other functions, from FB-DIMM buffers
// or over the message bus. Their decoders are not written yet: the bridges
// are named and the memory record stays as it is.
#include "sdk/chipset/intel_northbridges.h"

#define VEXA_INTEL_DECODER_PENDING(name) \
    void name(CNorthBridge*, CMemoryInfo*) {}

VEXA_INTEL_DECODER_PENDING(DecodeIntel440FX)
VEXA_INTEL_DECODER_PENDING(DecodeIntel440LX)
VEXA_INTEL_DECODER_PENDING(DecodeIntel440BX)
VEXA_INTEL_DECODER_PENDING(DecodeIntel810)
VEXA_INTEL_DECODER_PENDING(DecodeIntel815)
VEXA_INTEL_DECODER_PENDING(DecodeIntel840)
VEXA_INTEL_DECODER_PENDING(DecodeIntel845)
VEXA_INTEL_DECODER_PENDING(DecodeIntel845E)
VEXA_INTEL_DECODER_PENDING(DecodeIntel845G)
VEXA_INTEL_DECODER_PENDING(DecodeIntel850)
VEXA_INTEL_DECODER_PENDING(DecodeIntel852GM)
VEXA_INTEL_DECODER_PENDING(DecodeIntel855PM)
VEXA_INTEL_DECODER_PENDING(DecodeIntelE7500)
VEXA_INTEL_DECODER_PENDING(DecodeIntelE7205)
VEXA_INTEL_DECODER_PENDING(DecodeIntelE7520)
VEXA_INTEL_DECODER_PENDING(DecodeIntel5000)
VEXA_INTEL_DECODER_PENDING(DecodeIntel5100)
VEXA_INTEL_DECODER_PENDING(DecodeIntel5400)
VEXA_INTEL_DECODER_PENDING(DecodeIntelNehalem)
VEXA_INTEL_DECODER_PENDING(DecodeIntelNehalemUncore)
VEXA_INTEL_DECODER_PENDING(DecodeIntelSandyBridgeE)
VEXA_INTEL_DECODER_PENDING(DecodeIntelIvyBridgeE)
VEXA_INTEL_DECODER_PENDING(DecodeIntelHaswellE)
VEXA_INTEL_DECODER_PENDING(DecodeIntelAtom08C0)
VEXA_INTEL_DECODER_PENDING(DecodeIntelAtom0BF2)
VEXA_INTEL_DECODER_PENDING(DecodeIntelBayTrail)
VEXA_INTEL_DECODER_PENDING(DecodeIntelUS15W)
