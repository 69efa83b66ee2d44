#include "Quelm_XmlText.h"

#include <tinyxml.h>

#include <algorithm>
#include <cctype>
#include <string_view>

namespace {

// An upper bound of the element nesting the XML parser will reach in `text`, found without
// recursion: the parser recurses once per level, so a hostile file could exhaust the stack.
//
// The scan follows the parser's tokens. It skips at least every region the parser skips
// (comments, CDATA, declarations and other "<!"/"<?" nodes, quoted attribute values, end tags),
// so it never counts a closing tag the parser does not see. Where the two may disagree (quoted
// values, which the parser recognises in declarations only for some attributes, and other
// "<!"/"<?" nodes), element starts inside the skipped region are added as `verdeckt`. Comments,
// CDATA and end tags end at the same place for both.
class Verschachtelung {
 public:
  explicit Verschachtelung(std::string_view text) : t_(text) {
    std::size_t i = 0;
    while (i < t_.size()) {
      if (t_[i] != '<') {
        ++i;
        continue;
      }
      const std::string_view rest = t_.substr(i);
      if (rest.starts_with("</")) {
        if (tiefe_ > 0) --tiefe_;
        i = Ueberspringe(i + 2, ">", false);
      } else if (rest.starts_with("<!--")) {
        i = Ueberspringe(i + 4, "-->", false);
      } else if (rest.starts_with("<![CDATA[")) {
        i = Ueberspringe(i + 9, "]]>", false);
      } else if (rest.size() > 1 && IstNamensAnfang(rest[1])) {
        bool leer = false;
        i = TagEnde(i + 2, leer);
        maxTiefe = std::max(maxTiefe, tiefe_ + 1);
        if (!leer) ++tiefe_;
      } else if (rest.size() > 1 && rest[1] == '?') {
        bool leer = false;
        i = TagEnde(i + 2, leer);
      } else {
        i = Ueberspringe(i + 1, ">", true);
      }
    }
  }

  std::size_t maxTiefe = 0;
  std::size_t verdeckt = 0;

 private:
  // As the parser decides on element starts: letters, '_' and every byte from 127 on.
  static bool IstNamensAnfang(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 127 || std::isalpha(b) || b == '_';
  }

  void ZaehleVerdeckt(std::size_t von, std::size_t bis) {
    for (std::size_t i = von; i + 1 < bis; ++i)
      if (t_[i] == '<' && IstNamensAnfang(t_[i + 1])) ++verdeckt;
  }

  // Skips past `ende` (or to the end of the text).
  std::size_t Ueberspringe(std::size_t ab, std::string_view ende, bool zaehlen) {
    std::size_t pos = t_.find(ende, std::min(ab, t_.size()));
    std::size_t weiter = pos == std::string_view::npos ? t_.size() : pos + ende.size();
    if (zaehlen) ZaehleVerdeckt(ab, weiter);
    return weiter;
  }

  // The end of a tag: the first '>' outside quoted values (a quote counts after '=').
  // `leer` tells an empty-element tag "/>".
  std::size_t TagEnde(std::size_t i, bool& leer) {
    bool nachGleich = false;
    while (i < t_.size()) {
      const char c = t_[i];
      if (c == '>') {
        leer = t_[i - 1] == '/';
        return i + 1;
      }
      if (nachGleich && (c == '"' || c == '\'')) {
        std::size_t schluss = t_.find(c, i + 1);
        std::size_t weiter = schluss == std::string_view::npos ? t_.size() : schluss + 1;
        ZaehleVerdeckt(i + 1, weiter);
        i = weiter;
        nachGleich = false;
        continue;
      }
      if (c == '=') nachGleich = true;
      else if (!std::isspace(static_cast<unsigned char>(c))) nachGleich = false;
      ++i;
    }
    return i;
  }

  std::string_view t_;
  std::size_t tiefe_ = 0;
};

// Bound of structure plus hidden element starts: the parser stays within a few hundred levels.
constexpr std::size_t kMaxVerdeckt = 256;

// The text as the parser's own file loading hands it on: up to the first zero byte, CR LF and
// lone CR as LF.
std::string NormaleZeilen(const std::string& roh) {
  std::string text;
  text.reserve(roh.size());
  for (std::size_t i = 0; i < roh.size() && roh[i] != '\0'; ++i) {
    if (roh[i] == '\r') {
      text += '\n';
      if (i + 1 < roh.size() && roh[i + 1] == '\n') ++i;
    } else {
      text += roh[i];
    }
  }
  return text;
}

// The parser steps over a UTF-8 sequence by the length its lead byte announces, also when the
// text ends inside it, and then reads on behind the terminating zero. Zero bytes behind the text
// catch that step (at most 4 bytes) and stop it.
constexpr std::size_t kPolster = 16;

}  // namespace

namespace Quelm_XmlText {

bool LiesGanz(std::FILE* f, std::string& inhalt) {
  constexpr std::size_t kBlock = 65536;
  std::size_t gelesen = 0;
  for (;;) {
    inhalt.resize(gelesen + kBlock);
    const std::size_t n = std::fread(inhalt.data() + gelesen, 1, kBlock, f);
    gelesen += n;
    if (n < kBlock) break;
  }
  inhalt.resize(gelesen);
  return !std::ferror(f);
}

Ergebnis Parse(const std::string& roh, TiXmlDocument& dokument, std::size_t maxTiefe, bool utf8) {
  std::string text = NormaleZeilen(roh);
  const Verschachtelung v(text);
  if (v.maxTiefe > maxTiefe || v.maxTiefe + v.verdeckt > kMaxVerdeckt) return ZuTief;
  // Parsed from memory rather than handed the file: only so can the text carry the zero bytes
  // behind its end that keep the parser inside it.
  text.append(kPolster, '\0');
  dokument.Parse(text.c_str(), nullptr, utf8 ? TIXML_ENCODING_UTF8 : TIXML_DEFAULT_ENCODING);
  return dokument.Error() ? Fehlerhaft : Gelesen;
}

}  // namespace Quelm_XmlText
