#pragma once
// The database setup dialog: where the membership database is (server, database name, user,
// password), saved to section Database of Config.xml with the password DES-encrypted, and the
// creation of the database by running an SQL script against the server.
//
// The dialog reads the section selected last (Database, selected by the connection registry just
// before it opens the dialog). User-interface thread only; the script run lets pending events be
// processed, so timer handlers may run meanwhile.

#include <string>

namespace ab {

class Ui;
class TConfigFile;

class TfrmDBConfig {
 public:
  enum class Result { kNone, kOk, kCancel };

  TfrmDBConfig(Ui& ui, TConfigFile& config);

  void FormShow();
  // Saves the fields (the password encrypted, also when empty) and closes with OK.
  void btnOkClick();
  void btnCancelClick();
  // Chooses a script, confirms the database name of its first USE statement, runs it over a
  // utf8 connection without database and, when it ran through, saves and closes with OK. A
  // failure is shown and leaves the dialog open.
  void btnTestClick();
  // Runs the creation with an already chosen script (the file chooser's part of btnTestClick).
  void CreateFromScript(const std::string& path);
  // F1.
  void ShowHelp();

  // The database name of the script's first "USE `" statement: from right after it to right
  // before the next "`;", looked for only within the 100 characters after the start; "" when
  // there is none.
  static std::string ScriptDatabaseName(const std::string& script);

  // Controls.
  std::string cbbServer;
  std::string edtDBName;
  std::string edtUserName;
  std::string edtPassword;
  bool pb1Visible = false;
  int pb1Position = 0;
  int pb1Max = 100;
  Result modalResult = Result::kNone;

 private:
  Ui& ui_;
  TConfigFile& config_;
};

}  // namespace ab
