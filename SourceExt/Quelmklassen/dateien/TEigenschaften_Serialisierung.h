#pragma once
#include "EigenschaftsBaum.h"

#include <filesystem>
#include <string>

class TiXmlElement;

// Reads XML property files into an EigenschaftsBaum. The root element's "typ" and text give the
// value of the node loaded into, its child elements the children, to any depth; the attribute
// "typ" names the value type ("float" when absent or unknown), the element's text is the value
// when it is the element's first child node. Sibling elements of the same name update the same
// node.
//
// Every failure is a Quelm_Ausnahme: a file that cannot be opened or parsed ("Datei nicht
// geladen", the node unchanged), a value that does not convert (naming its path and text; the
// nodes read before it keep their values), and a tree nested deeper than kMaxTiefe.
class TEigenschaften_Serialisierung {
 public:
  // Property files are a few levels deep; the limit keeps hostile files from exhausting the
  // stack of the XML parser and of the reader, also on a job's fiber stack.
  static constexpr int kMaxTiefe = 64;

  // `flag` has no effect.
  static void LadeEigenschaftenAusXml(EigenschaftsBaum& knoten, const std::filesystem::path& pfad,
                                      bool flag = false);
  static void LadeElement(EigenschaftsBaum& knoten, const TiXmlElement& element, bool flag = false);
  // Converts `text` to the type named by `typ` (null: "float") and stores it as the node's value.
  static void WandleWert(EigenschaftsBaum& knoten, const char* typ, const char* text);

 private:
  static void LadeElement(EigenschaftsBaum& knoten, const TiXmlElement& element, const std::string& pfad,
                          int tiefe);
  static void WandleWert(EigenschaftsBaum& knoten, const char* typ, const char* text, const std::string& pfad);
};
