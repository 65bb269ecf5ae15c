; What the setup program and the uninstaller tell the user, in English and in Polish: what happens
; next, and for each refusal or failure what to do. A silent run shows none of them.

LangString RunFirstCheck ${LANG_ENGLISH} "Run the first check now"
LangString RunFirstCheck ${LANG_POLISH} "Uruchom teraz pierwsze sprawdzenie"
LangString WhatComesNext ${LANG_ENGLISH} "Quenwick now runs at every logon. It has no window, \
  and it speaks (in Polish) only when a hosts file has changed."
LangString WhatComesNext ${LANG_POLISH} "Quenwick uruchamia się teraz przy każdym logowaniu. \
  Nie ma okna i odzywa się tylko wtedy, gdy któryś plik hosts się zmienił."

LangString NotForThisAccount ${LANG_ENGLISH} "Quenwick is installed for the user who runs \
  this setup program, and runs at that user's logon. This account's profile is in the Windows \
  folder ($PROFILE): it is a system account, which never logs on. Run the setup program as \
  the user whom Quenwick is to warn."
LangString NotForThisAccount ${LANG_POLISH} "Quenwick instaluje się dla użytkownika, który \
  uruchamia instalator, i działa przy jego logowaniu. Profil tego konta leży w folderze \
  Windows ($PROFILE): to konto systemowe, które nigdy się nie loguje. Uruchom instalator jako \
  użytkownik, którego Quenwick ma ostrzegać."
LangString FolderInWindows ${LANG_ENGLISH} "Quenwick cannot be installed in the Windows folder \
  ($INSTDIR), where no user's logon would start it. Choose a folder of your own, such as the \
  one that the setup program suggests."
LangString FolderInWindows ${LANG_POLISH} "Quenwick nie może być zainstalowany w folderze \
  Windows ($INSTDIR), skąd żadne logowanie go nie uruchomi. Wybierz własny folder, na przykład \
  ten, który proponuje instalator."
LangString FolderTooLong ${LANG_ENGLISH} "The folder's path is too long: Windows could not \
  start Quenwick from it, nor let it keep its record there. Choose a folder with a shorter path."
LangString FolderTooLong ${LANG_POLISH} "Ścieżka folderu jest za długa: Windows nie mógłby \
  uruchomić z niego programu Quenwick ani pozwolić mu zapisać w nim rozmiarów. Wybierz folder o \
  krótszej ścieżce."
LangString FolderNotEmpty ${LANG_ENGLISH} "The folder $INSTDIR already holds other files. \
  Quenwick goes only into a new or empty folder, or over an earlier Quenwick, so that removing \
  it can never remove anything else. Choose another folder."
LangString FolderNotEmpty ${LANG_POLISH} "Folder $INSTDIR zawiera już inne pliki. Quenwick \
  instaluje się tylko w nowym lub pustym folderze albo w miejsce wcześniejszej wersji, aby \
  jego usunięcie nigdy nie usunęło niczego innego. Wybierz inny folder."
LangString FolderNotWritable ${LANG_ENGLISH} "The folder $INSTDIR cannot be made or written \
  to. Choose a folder that you may write to, such as the one that the setup program suggests."
LangString FolderNotWritable ${LANG_POLISH} "Nie można utworzyć folderu $INSTDIR ani w nim \
  zapisywać. Wybierz folder, do którego możesz zapisywać, na przykład ten, który proponuje \
  instalator."
LangString NewerInstalled ${LANG_ENGLISH} "A newer Quenwick ($NewerVersion) is installed \
  already. To go back to version ${VERSION}, first remove it in Apps & features."
LangString NewerInstalled ${LANG_POLISH} "Zainstalowana jest już nowsza wersja programu \
  Quenwick ($NewerVersion). Aby wrócić do wersji ${VERSION}, najpierw usuń ją w Aplikacjach \
  i funkcjach."
LangString ProgramRunning ${LANG_ENGLISH} "Quenwick is running, and its message is probably \
  waiting for an answer. Answer it, then press Retry; or press Cancel to leave everything as \
  it is."
LangString ProgramRunning ${LANG_POLISH} "Quenwick jest uruchomiony, a jego komunikat \
  prawdopodobnie czeka na odpowiedź. Odpowiedz na niego i naciśnij Ponów próbę albo naciśnij \
  Anuluj, aby niczego nie zmieniać."
LangString AnotherSetupRunning ${LANG_ENGLISH} "Another setup program or uninstaller of \
  Quenwick is running. Let it finish, then try again. Nothing has been changed."
LangString AnotherSetupRunning ${LANG_POLISH} "Działa już inny instalator lub deinstalator \
  programu Quenwick. Poczekaj, aż skończy, i spróbuj ponownie. Niczego nie zmieniono."
LangString LockFailed ${LANG_ENGLISH} "Quenwick's setup program could not open ${SETUP_LOCK} \
  (Windows error $LockError), which keeps two of its setup programs or uninstallers from running \
  at once. Nothing has been changed. Make sure that you may write to that folder, then try again."
LangString LockFailed ${LANG_POLISH} "Instalator programu Quenwick nie mógł otworzyć pliku \
  ${SETUP_LOCK} (błąd Windows $LockError), który nie pozwala działać naraz dwóm jego \
  instalatorom ani deinstalatorom. Niczego nie zmieniono. Sprawdź, czy możesz zapisywać w tym \
  folderze, i spróbuj ponownie."
LangString InstallFailed ${LANG_ENGLISH} "Quenwick could not be installed, because a file or \
  a setting could not be written. Everything has been left as it was. Make sure that the disk \
  has room, then run the setup program again."
LangString InstallFailed ${LANG_POLISH} "Nie udało się zainstalować programu Quenwick, bo nie \
  można było zapisać pliku lub ustawienia. Wszystko zostało tak, jak było. Sprawdź, czy na \
  dysku jest miejsce, i uruchom instalator ponownie."
LangString UninstallFailed ${LANG_ENGLISH} "Quenwick could not be removed, because \
  $RefusalFolder\quenwick.exe could not be deleted. Its shortcut, its entry and its other files \
  have been left as they were; try again once it has ended."
LangString UninstallFailed ${LANG_POLISH} "Nie udało się usunąć programu Quenwick, bo nie \
  można było skasować pliku $RefusalFolder\quenwick.exe. Jego skrót, wpis i pozostałe pliki \
  zostały tak, jak były; spróbuj ponownie, gdy program się zakończy."
