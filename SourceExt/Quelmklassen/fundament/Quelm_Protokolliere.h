#pragma once
// Writing to the engine's log (gProtokoll, Quelm_Protokoll.h) from any thread.
#include <cstdarg>

void Protokolliere(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Only while "t_debug" is true.
void ProtokolliereAusfuehrlich(const char* format, ...) __attribute__((format(printf, 1, 2)));
void ProtokolliereZeile(const char* format, va_list argumente);
// Written at once, see Quelm_Protokoll::GibZeileSofortAus.
void ProtokolliereSofort(const char* format, ...) __attribute__((format(printf, 1, 2)));
