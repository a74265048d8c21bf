# SPDX-License-Identifier: GPL-3.0-or-later
# Lirra's words at build time: each catalogue listed in po/LINGUAS, and the pseudo-locale made
# from the template (en_XA: every text 40 % longer, in brackets), become the pages' JSON
# catalogues (compiled into lirra-server, served as l10n/TAG.json) and the app's .qm files
# (compiled into the app as :/l10n/lirra_LANG.qm); the desktop entry is translated from them.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
find_program(LIRRA_MSGFMT msgfmt REQUIRED)
# qt6-l10n-tools has the converter without its CMake package.
find_program(LIRRA_LCONVERT lconvert HINTS /usr/lib/qt6/bin REQUIRED)

set(LIRRA_PO_DIR ${PROJECT_SOURCE_DIR}/po)
set(LIRRA_POT ${LIRRA_PO_DIR}/lirra.pot)
set(LIRRA_L10N_TOOL ${LIRRA_PO_DIR}/tools/catalogue.py)
set(LIRRA_L10N_TOOLS ${LIRRA_L10N_TOOL} ${LIRRA_PO_DIR}/tools/po.py)
set(LIRRA_PSEUDO_LANGUAGE en_XA)
file(STRINGS ${LIRRA_PO_DIR}/LINGUAS LIRRA_LANGUAGES REGEX "^[A-Za-z_]+$")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${LIRRA_PO_DIR}/LINGUAS)

# The catalogue of `lang` as a file the calling folder's commands may depend on: po/LANG.po, or
# the pseudo-locale made there from the template.
function(_lirra_catalogue lang out)
    if(lang STREQUAL LIRRA_PSEUDO_LANGUAGE)
        set(po ${CMAKE_CURRENT_BINARY_DIR}/${lang}.po)
        add_custom_command(OUTPUT ${po}
            COMMAND Python3::Interpreter ${LIRRA_L10N_TOOL} pseudo ${LIRRA_POT} ${po}
            DEPENDS ${LIRRA_POT} ${LIRRA_L10N_TOOLS} VERBATIM)
    else()
        set(po ${LIRRA_PO_DIR}/${lang}.po)
    endif()
    set(${out} ${po} PARENT_SCOPE)
endfunction()

# The pages' catalogues, made in the calling folder: `entries` gets "l10n/TAG.json=PATH" for
# EmbedFiles.cmake, `files` the paths.
function(lirra_page_catalogues entries files)
    set(e)
    set(f)
    foreach(lang IN LISTS LIRRA_LANGUAGES LIRRA_PSEUDO_LANGUAGE)
        _lirra_catalogue(${lang} po)
        string(REPLACE "_" "-" tag ${lang})
        set(json ${CMAKE_CURRENT_BINARY_DIR}/l10n/${tag}.json)
        add_custom_command(OUTPUT ${json}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/l10n
            COMMAND Python3::Interpreter ${LIRRA_L10N_TOOL} json ${po} ${json} ${tag}
            DEPENDS ${po} ${LIRRA_L10N_TOOLS} VERBATIM)
        list(APPEND e "l10n/${tag}.json=${json}")
        list(APPEND f ${json})
    endforeach()
    set(${entries} ${e} PARENT_SCOPE)
    set(${files} ${f} PARENT_SCOPE)
endfunction()

# The app's .qm files, made in the calling folder and compiled into `target` as resources.
function(lirra_add_translations target)
    set(qms)
    foreach(lang IN LISTS LIRRA_LANGUAGES LIRRA_PSEUDO_LANGUAGE)
        _lirra_catalogue(${lang} po)
        set(app_po ${CMAKE_CURRENT_BINARY_DIR}/app_${lang}.po)
        set(qm ${CMAKE_CURRENT_BINARY_DIR}/lirra_${lang}.qm)
        add_custom_command(OUTPUT ${qm}
            COMMAND Python3::Interpreter ${LIRRA_L10N_TOOL} qt ${po} ${app_po}
            COMMAND ${LIRRA_LCONVERT} -i ${app_po} -o ${qm}
            DEPENDS ${po} ${LIRRA_L10N_TOOLS} VERBATIM)
        list(APPEND qms ${qm})
    endforeach()
    qt_add_resources(${target} lirra_translations PREFIX /l10n BASE ${CMAKE_CURRENT_BINARY_DIR}
        FILES ${qms})
endfunction()

# A data file with its texts translated from the catalogues of po/LINGUAS: the desktop entry
# (kind "desktop": Name, GenericName, Comment, Keywords) or the metainfo (kind "xml", by gettext's
# rules for it).
function(lirra_translated_data_file kind template out)
    set(pos)
    foreach(lang IN LISTS LIRRA_LANGUAGES)
        list(APPEND pos ${LIRRA_PO_DIR}/${lang}.po)
    endforeach()
    add_custom_command(OUTPUT ${out}
        COMMAND ${LIRRA_MSGFMT} --${kind} --template=${template} -d ${LIRRA_PO_DIR} -o ${out}
        DEPENDS ${template} ${pos} ${LIRRA_PO_DIR}/LINGUAS VERBATIM)
endfunction()
