#include "engine/StateWords.h"

#include "base/Messages.h"
#include "engine/ComparisonState.h"

namespace qv {

QString stateWords(int state) {
    switch (state) {
    case kStateNotCompared: return Messages::text("stateNotCompared");
    case kStateEqual: return Messages::text("stateEqual");
    case kStateSizesDiffer: return Messages::text("stateSizesDiffer");
    case kStateDatesDiffer: return Messages::text("stateDatesDiffer");
    case kStateSizesAndDatesDiffer: return Messages::text("stateSizesAndDatesDiffer");
    case kStateOnlyLeft: return Messages::text("stateOnlyLeft");
    case kStateOnlyRight: return Messages::text("stateOnlyRight");
    case kStateNoEntry: return Messages::text("stateNoEntry");
    case kStateRsrcDiffers: return Messages::text("stateRsrcDiffers");
    case kStateTagsDiffer: return Messages::text("stateTagsDiffer");
    default: return Messages::text("stateDifferent");
    }
}

}  // namespace qv
