#pragma once
// The Windows recorders (no system header needed by callers): AudioRecWinVistaOrLater on the
// endpoint audio interfaces, AudioRecWinXP on wave input with the mixer for the level.

#include "measure/AudioRec.h"

namespace AudioSampler {

EnumeratorPtr CreateEndpointEnumerator();  // AudioRecEnumberatorWinVistaOrLater
EnumeratorPtr CreateWaveEnumerator();      // AudioRecEnumberatorWinXP
// The endpoint enumerator on an NT system of major version above 5, the wave one otherwise.
EnumeratorPtr CreateEnumerator();

}  // namespace AudioSampler
