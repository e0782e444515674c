#!/usr/bin/env python3
"""Reads the application manifest back out of a built Tessivo.exe (wrestool,
resource type 24, id 1) and checks what Windows will make of it. Windows does
not start a program whose manifest is not well-formed XML ("side-by-side
configuration is incorrect"), and Wine is more forgiving, so the strict parse
happens here.
    check_manifest.py Tessivo.exe VERSION
"""
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

ASM_V1 = '{urn:schemas-microsoft-com:asm.v1}'
ASM_V3 = '{urn:schemas-microsoft-com:asm.v3}'
COMPATIBILITY = '{urn:schemas-microsoft-com:compatibility.v1}'
SETTINGS_2005 = '{http://schemas.microsoft.com/SMI/2005/WindowsSettings}'
SETTINGS_2016 = '{http://schemas.microsoft.com/SMI/2016/WindowsSettings}'

# Windows 7, 8, 8.1 and 10/11.
SUPPORTED_OS = {
    '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}',
    '{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}',
    '{1f676c76-80e1-4239-95bb-83d0f6d0da78}',
    '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}',
}


def manifest_of(program):
    listing = subprocess.run(['wrestool', '-l', program], check=True,
                             capture_output=True, text=True).stdout
    manifests = [line for line in listing.splitlines() if line.startswith('--type=24 ')]
    if len(manifests) != 1 or not manifests[0].startswith('--type=24 --name=1 --language=0 '):
        sys.exit('one manifest, id 1, of no particular language, expected; found: %r' % manifests)
    return subprocess.run(['wrestool', '-x', '--raw', '--type=24', '--name=1', program],
                          check=True, capture_output=True).stdout


def check(data, version):
    failures = []

    def expect(condition, what):
        if not condition:
            failures.append(what)

    expect(data.startswith(b'<?xml version="1.0" encoding="UTF-8"'), 'an XML declaration in UTF-8')
    root = ElementTree.fromstring(data)  # raises on anything not well-formed
    expect(root.tag == ASM_V1 + 'assembly' and root.get('manifestVersion') == '1.0',
           'the root is an asm.v1 assembly of manifestVersion 1.0')

    identity = root.find(ASM_V1 + 'assemblyIdentity')
    expect(identity is not None and identity.get('type') == 'win32' and
           identity.get('version') == version + '.0' and
           identity.get('processorArchitecture') == 'amd64',
           'its own identity: win32, version %s.0, amd64' % version)

    dependencies = root.findall('%sdependency/%sdependentAssembly/%sassemblyIdentity'
                                % (ASM_V1, ASM_V1, ASM_V1))
    expect([d.attrib for d in dependencies] == [{
        'type': 'win32', 'name': 'Microsoft.Windows.Common-Controls', 'version': '6.0.0.0',
        'processorArchitecture': '*', 'publicKeyToken': '6595b64144ccf1df', 'language': '*'}],
        'one dependency: the common controls 6.0.0.0')

    ids = {os.get('Id') for os in root.iter(COMPATIBILITY + 'supportedOS')}
    expect(ids == SUPPORTED_OS, 'supported OS ids of Windows 7 to 10/11, got %s' % sorted(ids))

    settings = root.find('%sapplication/%swindowsSettings' % (ASM_V3, ASM_V3))
    expect(settings is not None, 'asm.v3 application settings')
    if settings is not None:
        aware = settings.find(SETTINGS_2005 + 'dpiAware')
        awareness = settings.find(SETTINGS_2016 + 'dpiAwareness')
        expect(aware is not None and aware.text.strip().lower() == 'true/pm',
               'dpiAware true/pm for systems before Windows 10 1607')
        expect(awareness is not None and awareness.text.strip() == 'PerMonitorV2',
               'dpiAwareness PerMonitorV2')
    # The texts are bytes in the ANSI code page; a UTF-8 code page would
    # turn every umlaut of the dialog into something else.
    expect(not any(e.tag.endswith('}activeCodePage') for e in root.iter()), 'no activeCodePage')

    levels = root.findall('%strustInfo/%ssecurity/%srequestedPrivileges/%srequestedExecutionLevel'
                          % ((ASM_V3,) * 4))
    expect([l.attrib for l in levels] == [{'level': 'asInvoker', 'uiAccess': 'false'}],
           'requestedExecutionLevel asInvoker, no UI access')
    return failures


def main():
    program, version = sys.argv[1], sys.argv[2]
    failures = check(manifest_of(program), version)
    for failure in failures:
        print('manifest: expected ' + failure)
    if failures:
        sys.exit(1)
    print('manifest of %s: ok' % program)


if __name__ == '__main__':
    main()
