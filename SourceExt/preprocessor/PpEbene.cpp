#include "PpEbene.h"

#include <algorithm>
#include <cstring>

namespace Praeprozessor {

void Ebene::Zuruecksetzen() {
  Schliessen();
  name.clear();
  anzeigeName.clear();
  zeile = 1;
  zeilenAnfang = true;
  hauptEingabe = false;
  leerVorher = false;
  raumVorher.clear();
  tokens.clear();
  index = 0;
  barriere = false;
  eingabe_ = nullptr;
  benutzer_ = nullptr;
  text_ = nullptr;
  textPos_ = 0;
  pos_ = laenge_ = 0;
  ende_ = false;
  rueckAnzahl_ = rohAnzahl_ = 0;
}

void Ebene::AlsDatei(const std::string& n, FILE* datei, bool eigene) {
  Zuruecksetzen();
  art = Art::Datei;
  name = n;
  datei_ = datei;
  eigeneDatei_ = eigene;
}

void Ebene::AlsEingabe(const std::string& n, PreProcessInput eingabe, void* benutzer) {
  Zuruecksetzen();
  art = Art::Datei;
  name = n;
  eingabe_ = eingabe;
  benutzer_ = benutzer;
}

void Ebene::AlsText(const std::string& n, const std::string* text) {
  Zuruecksetzen();
  art = Art::Datei;
  name = n;
  text_ = text;
}

void Ebene::AlsMakro(const std::string& n) {
  Zuruecksetzen();
  art = Art::Makro;
  name = n;
}

void Ebene::Schliessen() {
  if (datei_ != nullptr && eigeneDatei_) std::fclose(datei_);
  datei_ = nullptr;
  eigeneDatei_ = false;
}

bool Ebene::Nachladen() {
  if (ende_) return false;
  pos_ = laenge_ = 0;
  if (text_ != nullptr) {
    std::size_t rest = text_->size() - textPos_;
    std::size_t n = std::min<std::size_t>(rest, kPufferGroesse - 1);
    std::memcpy(puffer_, text_->data() + textPos_, n);
    textPos_ += n;
    laenge_ = static_cast<int>(n);
  } else if (eingabe_ != nullptr) {
    char* r = eingabe_(puffer_, kPufferGroesse, benutzer_);
    if (r != nullptr) {
      // Never trust the terminator: at most size - 1 bytes are taken. An empty chunk
      // carries nothing, so it ends the input instead of asking again forever.
      std::size_t n = strnlen(r, kPufferGroesse - 1);
      if (r != puffer_) std::memmove(puffer_, r, n);
      laenge_ = static_cast<int>(n);
    }
  } else if (datei_ != nullptr) {
    // A line that starts with a zero byte reads as empty; go on with the next one.
    while (laenge_ == 0 && std::fgets(puffer_, kPufferGroesse, datei_) != nullptr)
      laenge_ = static_cast<int>(std::strlen(puffer_));
  }
  if (laenge_ == 0) {
    ende_ = true;
    return false;
  }
  return true;
}

}  // namespace Praeprozessor
