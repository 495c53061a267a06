// Message texts, Windows-1252 bytes (MessageBoxA takes ANSI text).
#include "contexte.h"

namespace {

// French (0)
constexpr const char* kFrancais[kNombreMessages] = {
    "Erreur bitmap",
    "Erreur creation fichier",
    "Erreur dimensions plaque",
    "Erreur DPI",
    "Erreur ecriture fichier",
    "Erreur fichier temporaire",
    "Erreur imprimante",
    "Erreur lecture fichier",
    "Erreur memoire",
    "Erreur pointeur",
    "Erreur spooler",
    "Erreur syntaxe",
    "Erreur syntaxe 1",
    "Erreur syntaxe 2",
    "Erreur syntaxe 3",
    "Erreur syntaxe 4",
    "Zone interdite franchie",
    "Avertissement",
};

// English (any other language)
constexpr const char* kAnglais[kNombreMessages] = {
    "Bitmap error",
    "Create file error",
    "Plate size error",
    "DPI error",
    "Write file error",
    "Temporary file error",
    "Printer error",
    "Read file error",
    "Memory error",
    "Bad pointer",
    "Spooler error",
    "Syntax error",
    "Syntax 1 error",
    "Syntax 2 error",
    "Syntax 3 error",
    "Syntax 4 error",
    "Forbidden zone crossed",
    "Warning",
};

// German (2)
constexpr const char* kAllemand[kNombreMessages] = {
    "Bitmap Fehler",
    "Dateierstellungsfehler",
    "Fehler Plattengr\xF6\xDF"
    "e",
    "DPI Fehler",
    "Schreibfehler",
    "Tempor\xE4"
    "rer Datei Fehler",
    "Drucker Fehler",
    "Lesefehler",
    "Speicher Fehler",
    "Falsche Adresse",
    "Spooler Fehler",
    "Syntax Fehler",
    "Syntax 1 Fehler",
    "Syntax 2 Fehler",
    "Syntax 3 Fehler",
    "Syntax 4 Fehler",
    "Verbotene Zone \xFC"
    "berschritten",
    "Haftungsausschluss",
};

// Dutch (3)
constexpr const char* kNeerlandais[kNombreMessages] = {
    "Bitmapfout",
    "Foute Bestandsaanmaak",
    "Foute plaatafmeting",
    "DPI fout",
    "Bestandsschrijffout",
    "Fout Tijdelijk bestand",
    "Printerfout",
    "Leesfout",
    "Geheugenfout",
    "Interne tellerfout",
    "Spoolerfout",
    "Syntax fout",
    "Syntax fout 1",
    "Syntax fout 2",
    "Syntax fout 3",
    "Syntax fout 4",
    "Verboden zone overschreden",
    "Waarschuwing",
};

// Spanish (4)
constexpr const char* kEspagnol[kNombreMessages] = {
    "Error bitmap",
    "Error creaci\xF3n archivo",
    "Error dimensiones placa",
    "Error DPI",
    "Error escritura archivo",
    "Error archivo temporal",
    "Error impresora",
    "Error lectura archivo",
    "Error memoria",
    "Error puntero",
    "Error spooler",
    "Error sintaxis",
    "Error sintaxis 1",
    "Error sintaxis 2",
    "Error sintaxis 3",
    "Error sintaxis 4",
    "Zona prohibida cruzado",
    "Advertencia",
};

// Italian (5)
constexpr const char* kItalien[kNombreMessages] = {
    "Errore bitmap",
    "Errore creazione file",
    "Errore dimensioni targa",
    "Errore DPI",
    "Errore di scrittura file",
    "Errore di file temporaneo",
    "Errore di stampante",
    "Errore di lettura file",
    "Errore di memoria",
    "Errore di puntatore",
    "Errore spooler",
    "Errore di sintassi",
    "Errore di sintassi 1",
    "Errore di sintassi 2",
    "Errore di sintassi 3",
    "Errore di sintassi 4",
    "Zona vietata attraversato",
    "Attenzione",
};

}  // namespace

const char* const* TableMessagesLangue(int langue) {
  switch (langue) {
    case 0:
      return kFrancais;
    case 2:
      return kAllemand;
    case 3:
      return kNeerlandais;
    case 4:
      return kEspagnol;
    case 5:
      return kItalien;
    default:
      return kAnglais;
  }
}

void AfficheMessage(const ContexteConversion& ctx, int message) {
  const char* const* table = ctx.TableMessages ? ctx.TableMessages : TableMessagesLangue(0);
  if (message < 0 || message >= kNombreMessages) message = MsgPointeur;
  MessageBoxA(nullptr, table[message], message == MsgZoneInterdite ? table[MsgAvertissement] : nullptr,
              MB_ICONEXCLAMATION | MB_SETFOREGROUND | MB_DEFAULT_DESKTOP_ONLY);
}

void ErreurFatale(const ContexteConversion& ctx, int message) {
  AfficheMessage(ctx, message);
  throw AbandonJob{message};
}

void ErreurFatale(int message) { ErreurFatale(Contexte, message); }
