#include "host/PortAudioSession.h"

#include <portaudio.h>

PortAudioSession::PortAudioSession() : ready_(Pa_Initialize() == paNoError) {}

PortAudioSession::~PortAudioSession() {
    if (ready_) Pa_Terminate();
}
