#pragma once
// The platform recorder: PortAudio for the stream, the ALSA mixer of the matched card for the
// input level. Neither library's headers are needed by callers.

#include "measure/AudioRec.h"

namespace AudioSampler {

// Lists PortAudio's input devices; the recorder it opens streams 48000 Hz 16-bit mono.
EnumeratorPtr CreatePortAudioEnumerator();
// The platform's enumerator (PortAudio with the ALSA mixer on this platform).
EnumeratorPtr CreateEnumerator();

}  // namespace AudioSampler
