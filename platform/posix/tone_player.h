// Speaker tones on Linux. The PC speaker of the Windows original is rarely
// reachable here, so the tone goes to the default ALSA device (which reaches
// PipeWire or PulseAudio too); the console's speaker and then silence are the
// fall-backs. Either way the call lasts exactly as long as the tone.
#pragma once

namespace tessivo {

void PlayTone(unsigned hz, unsigned ms);

}  // namespace tessivo
