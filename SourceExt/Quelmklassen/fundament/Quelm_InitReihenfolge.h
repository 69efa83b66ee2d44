#pragma once
// The order in which the engine's global objects are built before main. The compiler
// does not order globals across files, so every engine global names its slot here with
// QUELM_INIT(slot); lower slots are built first. Destructors are registered as each
// object is built, so they run in exactly the reverse order at exit.
//
// Globals without a slot (test registrations, the game's own) are built after all of these.

#define QUELM_INIT(slot) __attribute__((init_priority(slot)))

#define QUELM_SLOT_SYSTEM 1010               // Quelm_System
#define QUELM_SLOT_ZEITGEBER 1020            // the global clock
#define QUELM_SLOT_BEFEHLSREGISTER 1030      // console command registry (destructor only)
#define QUELM_SLOT_VARIABLENREGISTER 1040    // console variable registry, configuration path
#define QUELM_SLOT_PROTOKOLL 1050            // the log, inactive
#define QUELM_SLOT_PROFILER 1060             // profiler root "Gesamt"
#define QUELM_SLOT_T_KONFIG 1070             // "t_konfig"
#define QUELM_SLOT_T_DEBUG 1080              // "t_debug"
#define QUELM_SLOT_T_LOGFILE 1090            // "t_logfile"
#define QUELM_SLOT_ZAEHLERFREQUENZ 1100      // performance-counter frequency
#define QUELM_SLOT_BEFEHL_QUIT 1110          // "quit"
#define QUELM_SLOT_ABSTURZ 1120              // crash handler
#define QUELM_SLOT_BEFEHL_SET 1130           // "set"
#define QUELM_SLOT_BEFEHL_HELP 1140          // "help"
#define QUELM_SLOT_SCREEN 1150               // screen's static state, display-change signal
#define QUELM_SLOT_AUDIO 1160                // Quelm_Audio
#define QUELM_SLOT_DISPLAYWIDTH 1170         // "displaywidth"
#define QUELM_SLOT_DISPLAYHEIGHT 1180        // "displayheight"
#define QUELM_SLOT_DISPLAYDEPTH 1190         // "displaydepth"
#define QUELM_SLOT_FULLSCREEN 1200           // "fullscreen"
#define QUELM_SLOT_VSYNC 1210                // "vsync"
#define QUELM_SLOT_DEBUGSHADER 1220          // "debugShader"
#define QUELM_SLOT_BEFEHL_REINITVIDEO 1230   // "reinitvideo"
#define QUELM_SLOT_BEFEHL_VIDEORAM 1240      // "videoram"
#define QUELM_SLOT_SPRACHE 1250              // "sprache"
