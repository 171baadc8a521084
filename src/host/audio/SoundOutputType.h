#pragma once

// The two output types the configuration stores ("dsound", "waveout") name Windows audio APIs.
// Files keep those words; here each stands for a PortAudio host API of this system:
// - WaveOut (also what any other word reads as) is ALSA, which every Linux system has;
// - DSound is the first of JACK and OSS that offers an output device, else ALSA as well.
enum class SoundOutputType { DSound, WaveOut };
