// What the setup program and the uninstaller tell the user, in Polish on a Polish Windows and in
// English on any other. A silent run shows none of them.
#pragma once

#include <string>

namespace quenwick {

struct Texts {
  const char* English;
  const char* Polish;  // & marks a command's key
};

// Each message by its name.
namespace Text {
inline constexpr Texts SetupTitle{"Quenwick Setup", "Instalator Quenwick"};
inline constexpr Texts UninstallTitle{"Quenwick Uninstall", "Deinstalator Quenwick"};
inline constexpr Texts InstallInto{
    "Quenwick will be installed in %1. It runs at every logon and warns you when a hosts file "
    "has changed.",
    "Quenwick zostanie zainstalowany w folderze %1. Uruchamia się przy każdym logowaniu i "
    "ostrzega, gdy któryś plik hosts się zmienił."};
inline constexpr Texts Install{"&Install", "&Zainstaluj"};
inline constexpr Texts OtherFolder{"&Choose another folder", "&Wybierz inny folder"};
inline constexpr Texts WhatComesNext{
    "Quenwick now runs at every logon. It has no window, and it speaks (in Polish) only when a "
    "hosts file has changed.",
    "Quenwick uruchamia się teraz przy każdym logowaniu. Nie ma okna i odzywa się tylko wtedy, "
    "gdy któryś plik hosts się zmienił."};
inline constexpr Texts RunFirstCheck{"Run the first check now",
                                     "Uruchom teraz pierwsze sprawdzenie"};
inline constexpr Texts NotForThisAccount{
    "Quenwick is installed for the user who runs this setup program, and runs at that user's "
    "logon. This account's profile is in the Windows folder (%1): it is a system account, which "
    "never logs on. Run the setup program as the user whom Quenwick is to warn.",
    "Quenwick instaluje się dla użytkownika, który uruchamia instalator, i działa przy jego "
    "logowaniu. Profil tego konta leży w folderze Windows (%1): to konto systemowe, które nigdy "
    "się nie loguje. Uruchom instalator jako użytkownik, którego Quenwick ma ostrzegać."};
inline constexpr Texts FolderInWindows{
    "Quenwick cannot be installed in the Windows folder (%1), where no user's logon would start "
    "it. Choose a folder of your own, such as the one that the setup program suggests.",
    "Quenwick nie może być zainstalowany w folderze Windows (%1), skąd żadne logowanie go nie "
    "uruchomi. Wybierz własny folder, na przykład ten, który proponuje instalator."};
inline constexpr Texts FolderTooLong{
    "The folder's path is too long: Windows could not start Quenwick from it, nor let it keep "
    "its record there. Choose a folder with a shorter path.",
    "Ścieżka folderu jest za długa: Windows nie mógłby uruchomić z niego programu Quenwick ani "
    "pozwolić mu zapisać w nim rozmiarów. Wybierz folder o krótszej ścieżce."};
inline constexpr Texts FolderNotEmpty{
    "The folder %1 already holds other files. Quenwick goes only into a new or empty folder, or "
    "over an earlier Quenwick, so that removing it can never remove anything else. Choose "
    "another folder.",
    "Folder %1 zawiera już inne pliki. Quenwick instaluje się tylko w nowym lub pustym folderze "
    "albo w miejsce wcześniejszej wersji, aby jego usunięcie nigdy nie usunęło niczego innego. "
    "Wybierz inny folder."};
inline constexpr Texts FolderNotWritable{
    "The folder %1 cannot be made or written to. Choose a folder that you may write to, such as "
    "the one that the setup program suggests.",
    "Nie można utworzyć folderu %1 ani w nim zapisywać. Wybierz folder, do którego możesz "
    "zapisywać, na przykład ten, który proponuje instalator."};
inline constexpr Texts NewerInstalled{
    "A newer Quenwick (%1) is installed already. To go back to version %2, first remove it in "
    "Apps & features.",
    "Zainstalowana jest już nowsza wersja programu Quenwick (%1). Aby wrócić do wersji %2, "
    "najpierw usuń ją w Aplikacjach i funkcjach."};
inline constexpr Texts ProgramRunning{
    "Quenwick is running, and its message is probably waiting for an answer. Answer it, then "
    "press Retry; or press Cancel to leave everything as it is.",
    "Quenwick jest uruchomiony, a jego komunikat prawdopodobnie czeka na odpowiedź. Odpowiedz "
    "na niego i naciśnij Ponów próbę albo naciśnij Anuluj, aby niczego nie zmieniać."};
inline constexpr Texts AnotherSetupRunning{
    "Another setup program or uninstaller of Quenwick is running. Let it finish, then try "
    "again. Nothing has been changed.",
    "Działa już inny instalator lub deinstalator programu Quenwick. Poczekaj, aż skończy, i "
    "spróbuj ponownie. Niczego nie zmieniono."};
inline constexpr Texts LockFailed{
    "Quenwick's setup program could not open %1 (%2), which keeps two of its setup programs or "
    "uninstallers from running at once. Nothing has been changed. Make sure that you may write "
    "to that folder, then try again.",
    "Instalator programu Quenwick nie mógł otworzyć pliku %1 (%2), który nie pozwala działać "
    "naraz dwóm jego instalatorom ani deinstalatorom. Niczego nie zmieniono. Sprawdź, czy możesz "
    "zapisywać w tym folderze, i spróbuj ponownie."};
inline constexpr Texts InstallFailed{
    "Quenwick could not be installed, because a file or a setting could not be written (%1). "
    "Everything has been left as it was. Make sure that the disk has room, then run the setup "
    "program again.",
    "Nie udało się zainstalować programu Quenwick, bo nie można było zapisać pliku lub "
    "ustawienia (%1). Wszystko zostało tak, jak było. Sprawdź, czy na dysku jest miejsce, i "
    "uruchom instalator ponownie."};
inline constexpr Texts UninstallFailed{
    "Quenwick could not be removed completely (%1). What is left stays in Apps & features; try "
    "again once Quenwick has ended.",
    "Nie udało się całkowicie usunąć programu Quenwick (%1). To, co zostało, pozostaje w "
    "Aplikacjach i funkcjach; spróbuj ponownie, gdy program się zakończy."};
inline constexpr Texts ConfirmUninstall{
    "Remove Quenwick from %1? Files of your own in that folder stay.",
    "Usunąć program Quenwick z folderu %1? Twoje własne pliki w tym folderze zostaną."};
inline constexpr Texts Uninstalled{"Quenwick has been removed.",
                                   "Program Quenwick został usunięty."};
inline constexpr Texts UnknownArgument{
    "The setup program does not know the argument %1, and has changed nothing. It takes /S, "
    "/QuietFirstLogon, /Uninstall, /Log= with a file and, last, /D= with a folder, each with a "
    "full path.",
    "Instalator nie zna argumentu %1 i niczego nie zmienił. Przyjmuje /S, /QuietFirstLogon, "
    "/Uninstall, /Log= z plikiem i, na końcu, /D= z folderem, każdy z pełną ścieżką."};
}  // namespace Text

// The message in the user's language, with first and second in place of %1 and %2.
std::string Say(const Texts& message, const std::string& first = {},
                const std::string& second = {});
// The title of the run's dialogs.
std::string DialogTitle(bool uninstall);

}  // namespace quenwick
