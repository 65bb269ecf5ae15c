"""The session's branches for Windows itself, which only the CI workflow's Windows jobs run: here
the platform and the process calls are faked, and what they would be given is checked."""

import os
import subprocess
import unittest
from pathlib import Path
from unittest import mock

import wine_session

ENVIRONMENT = {"LOCALAPPDATA": r"C:\Users\Ola\AppData\Local",
               "TEMP": r"C:\Users\Ola\AppData\Local\Temp",
               "APPDATA": r"C:\Users\Ola\AppData\Roaming", "SystemDrive": "D:"}


class WindowsSessionTest(unittest.TestCase):
    def setUp(self):
        for patch in [mock.patch.object(wine_session, "ON_WINDOWS", True),
                      mock.patch.dict(os.environ, ENVIRONMENT)]:
            patch.start()
            self.addCleanup(patch.stop)
        self.processes = mock.patch.object(wine_session, "subprocess", wraps=subprocess)
        self.subprocess = self.processes.start()
        self.addCleanup(self.processes.stop)
        self.subprocess.run = mock.Mock(return_value=subprocess.CompletedProcess([], 1618))
        self.subprocess.Popen = mock.Mock()
        self.session = wine_session.WineSession("box_driver.exe")

    def test_the_users_folders_come_from_the_environment_and_nothing_is_started(self):
        self.assertEqual((self.session.local_app_data, self.session.startup, self.session.drive_c,
                          self.session.temp),
                         (Path(ENVIRONMENT["LOCALAPPDATA"]),
                          Path(ENVIRONMENT["APPDATA"])
                          / "Microsoft/Windows/Start Menu/Programs/Startup", Path("D:\\"),
                          Path(ENVIRONMENT["TEMP"])))
        self.session.close()
        self.subprocess.run.assert_not_called()
        self.subprocess.Popen.assert_not_called()

    def test_a_command_line_reaches_the_system_as_one_string_in_its_folder(self):
        program = Path("/releases/R&D 100% ^!/Quenwick-1.0.0-setup.exe").absolute()
        for name, call, command_line, folder in [
            ("a program", lambda: self.session.run(program, "/S", r"/D=C:\Tools\Q"),
             f'"{program}" /S /D=C:\\Tools\\Q', None),
            ("a command line in a folder",
             lambda: self.session.run_command_line('"u.exe" /S _?=C:\\Q', folder=r"C:\Windows"),
             '"u.exe" /S _?=C:\\Q', r"C:\Windows"),
        ]:
            with self.subTest(name):
                self.assertEqual(call(), 1618)
                arguments, options = self.subprocess.run.call_args
                self.assertEqual(arguments, (command_line,))
                self.assertEqual(options["cwd"], folder)
                self.assertEqual(options["env"]["QUENWICK_COMMAND_LINE"], command_line)

    def test_registry_values_come_from_regs_export_as_utf_16(self):
        def export(arguments, **_):
            Path(arguments[3]).write_bytes(
                'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Q]\r\n'
                '"InstallLocation"="C:\\\\Żółw"\r\n"NoModify"=dword:00000001\r\n'
                .encode("utf-16"))
            return subprocess.CompletedProcess(arguments, 0)

        self.subprocess.run.side_effect = export
        self.assertEqual(self.session.registry_values(r"HKCU\Q"),
                         {"InstallLocation": "C:\\Żółw", "NoModify": 1})
        arguments = self.subprocess.run.call_args[0][0]
        self.assertEqual((arguments[:3], arguments[4:]), (["reg", "export", r"HKCU\Q"], ["/y"]))
        self.assertTrue(Path(arguments[3]).is_absolute())

    def test_paths_are_the_systems_own(self):
        self.assertEqual(self.session.local_path(r"C:\Users\Ola"), Path(r"C:\Users\Ola"))
        self.assertEqual(self.session.windows_path(Path("/a/b")), str(Path("/a/b")))


if __name__ == "__main__":
    unittest.main()
