// F10: the back buffer as "screenshots/screenshot%04d.png" in the user data folder.
#include "Anwendung.h"

#include "Quelm_Bild.h"
#include "Quelm_Protokolliere.h"
#include "Quelm_Screen3D.h"
#include "Quelm_System.h"
#include "Quelm_ZeichenKontext.h"

#include <boost/format.hpp>

#include <filesystem>
#include <optional>
#include <system_error>

namespace Spiel {

namespace {
namespace fs = std::filesystem;

// The first "screenshot%04d.png" not taken in `ordner`; none when all 10000 are taken or
// a name cannot be looked up (logged).
std::optional<fs::path> FreierName(const fs::path& ordner) {
  for (int n = 0; n <= 9999; ++n) {
    const fs::path pfad = ordner / (boost::format("screenshot%04d.png") % n).str();
    std::error_code fehler;
    // A link that leads nowhere still takes the name.
    const fs::file_status status = fs::symlink_status(pfad, fehler);
    if (status.type() == fs::file_type::not_found) return pfad;
    if (fehler) {
      Protokolliere("!Spiel::Anwendung::SpeichereBildschirmfoto(): \"%s\" kann nicht geprüft werden: %s",
                    pfad.string().c_str(), fehler.message().c_str());
      return std::nullopt;
    }
  }
  Protokolliere("!Spiel::Anwendung::SpeichereBildschirmfoto(): Alle Namen in \"%s\" sind vergeben.",
                ordner.string().c_str());
  return std::nullopt;
}
}  // namespace

bool Anwendung::SpeichereBildschirmfoto() {
  const fs::path ordner = gSystem.benutzerVerzeichnis / "screenshots";
  std::error_code fehler;
  if (!fs::exists(ordner, fehler) && !fs::create_directory(ordner, fehler)) {
    // The tool goes on without the picture.
    Protokolliere("!Spiel::Anwendung::SpeichereBildschirmfoto(): Ordner \"%s\" kann nicht angelegt werden: %s",
                  ordner.string().c_str(), fehler.message().c_str());
    return false;
  }

  Quelm_ZeichenKontext* kontext = Quelm_Screen3D::zeichenKontext;
  if (!kontext) return false;
  // The back buffer's own size: in a window it is the client area, not the mode's size.
  std::uint64_t breite = Quelm_Screen3D::modus.width, hoehe = Quelm_Screen3D::modus.height;
  D3DSURFACE_DESC beschr{};
  if (kontext->impl.rueckpuffer && SUCCEEDED(kontext->impl.rueckpuffer->GetDesc(&beschr))) {
    breite = beschr.Width;
    hoehe = beschr.Height;
  }
  Quelm_Bild bild(breite, hoehe, PXFMT_A8R8G8B8, 1);
  // A failed read has logged its reason; a picture of whatever the memory held is no picture.
  if (!kontext->impl.LiesBildschirmInhalt(bild)) {
    Protokolliere("!Spiel::Anwendung::SpeichereBildschirmfoto(): Kein Bildschirmfoto gespeichert.");
    return false;
  }

  const std::optional<fs::path> pfad = FreierName(ordner);
  if (!pfad) return false;
  if (!Quelm_Bild::SpeicherePNG(bild, *pfad)) {
    // SpeicherePNG has said why; a partly written file is not kept.
    fs::remove(*pfad, fehler);
    return false;
  }
  Protokolliere("Screenshot saved as \"%s\".", pfad->string().c_str());
  return true;
}

}  // namespace Spiel
