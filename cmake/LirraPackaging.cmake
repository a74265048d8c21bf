# SPDX-License-Identifier: GPL-3.0-or-later
# A Debian package of the installed programs: `cpack -G DEB` in a build directory (see
# scripts/package-deb.sh). dpkg-shlibdeps computes the library dependencies; the ones below are
# loaded at run time without being linked, so it cannot see them.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lirra)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Lirra developers")
set(CPACK_PACKAGE_CONTACT "Lirra developers <support@lirra.app>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "video player for people learning English")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Lirra developers <support@lirra.app>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://lirra.app/")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "video player for people learning English
Lirra identifies a video by a 64-bit content hash, asks the Lirra web service for its subtitles
and plays it with the service's player page laid over the picture: an English line, a line in
the learner's language, controls and learner tools. The service runs inside the app by default
(no account, no network needed); lirra-server runs it on its own for a school or team.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt WebEngine reads its resources and locales from disk (libqt6webengine6-data); dpkg-shlibdeps
# already names libqt6webenginecore6-bin, the package of QtWebEngineProcess. The X11 platform
# plugin (in libqt6gui6), Mesa's GL drivers (through libglx0) and a font (through fontconfig) come
# with what the libraries pull in; the Wayland platform plugins are only recommended. The Qt
# Quick stage loads its QML modules at run time, which no library names: they are listed here.
# The interface and the subtitle lines in the learner's script (Arabic, Devanagari, Hebrew, CJK...)
# need the Noto fonts, found through fontconfig by each text's lang.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6webengine6-data, qml6-module-qtquick, qml6-module-qtqml-workerscript, qml6-module-qtwebengine, fonts-noto-core, fonts-noto-cjk")
# The dictionaries of the player page's word look-ups: WordNet, its morphology (wordnet-base) and
# FreeDict's English-X dictionaries for the pages' languages that Debian 12 has.
set(lirra_dictionaries "dict-wn, wordnet-base")
foreach(l ara bul ces dan deu ell fin fra hin hrv hun ind ita jpn lit nld nor pol por rus spa srp
          swe tur)
    string(APPEND lirra_dictionaries ", dict-freedict-eng-${l}")
endforeach()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-qpa-plugins, ${lirra_dictionaries}")

include(CPack)
