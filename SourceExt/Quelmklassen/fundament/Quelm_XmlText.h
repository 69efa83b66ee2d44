#pragma once
// XML text handed to TinyXML safely: its parser recurses once per element level and steps
// over UTF-8 sequences past the end of the text, so files are checked and padded first.
#include <cstddef>
#include <cstdio>
#include <string>

class TiXmlDocument;

namespace Quelm_XmlText {

enum Ergebnis { Gelesen, ZuTief, Fehlerhaft };

// Reads the rest of the file; false on a read error.
bool LiesGanz(std::FILE* f, std::string& inhalt);

// Parses the file bytes `roh` as the parser's own file loading would (up to the first zero
// byte, CR LF and lone CR as LF, default encoding). Text nested deeper than `maxTiefe`
// elements is refused before the parser sees it. Fehlerhaft: the document's error fields
// name the fault. `utf8`: the text is read as UTF-8 whatever it declares.
Ergebnis Parse(const std::string& roh, TiXmlDocument& dokument, std::size_t maxTiefe, bool utf8 = false);

}  // namespace Quelm_XmlText
