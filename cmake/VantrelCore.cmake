# vantrel_add_core(WIDTH CHAR) defines, for one text width:
#   vantrel_platform${WIDTH}  the host layer (platform/posix or platform/win32)
#   vantrel_engine${WIDTH}    the engine, written once over the Text type
# Both are compiled with VANTREL_CHAR=CHAR; the host is chosen here, never by
# #ifdef in the sources.

if(VANTREL_HOST STREQUAL "posix")
  # The programs use libcrypto for digests alone: linked in, it costs only the
  # code they run, not the relocation of the whole shared library at start.
  set(OPENSSL_USE_STATIC_LIBS TRUE)
  set(ZLIB_USE_STATIC_LIBS TRUE)
  find_package(OpenSSL REQUIRED COMPONENTS Crypto)
  find_package(Threads REQUIRED)
endif()
find_package(ZLIB REQUIRED)

# The version, for the Windows program's version resource.
configure_file(${PROJECT_SOURCE_DIR}/app/vantrel_version.h.in ${PROJECT_BINARY_DIR}/generated/vantrel_version.h @ONLY)

function(vantrel_add_core WIDTH CHAR)
  set(platform vantrel_platform${WIDTH})
  set(engine vantrel_engine${WIDTH})

  if(VANTREL_HOST STREQUAL "posix")
    add_library(${platform} STATIC
      ${PROJECT_SOURCE_DIR}/platform/listing_slots.cpp
      ${PROJECT_SOURCE_DIR}/platform/posix/text_posix.cpp
      ${PROJECT_SOURCE_DIR}/platform/posix/listing_posix.cpp
      ${PROJECT_SOURCE_DIR}/platform/posix/file_posix.cpp
      ${PROJECT_SOURCE_DIR}/platform/posix/delete_posix.cpp
      ${PROJECT_SOURCE_DIR}/platform/posix/digest_openssl.cpp
      ${PROJECT_SOURCE_DIR}/platform/posix/thread_posix.cpp)
    target_link_libraries(${platform} PUBLIC OpenSSL::Crypto Threads::Threads)
  else()
    add_library(${platform} STATIC
      ${PROJECT_SOURCE_DIR}/platform/listing_slots.cpp
      ${PROJECT_SOURCE_DIR}/platform/win32/text_win32.cpp
      ${PROJECT_SOURCE_DIR}/platform/win32/listing_win32.cpp
      ${PROJECT_SOURCE_DIR}/platform/win32/file_win32.cpp
      ${PROJECT_SOURCE_DIR}/platform/win32/reading_win32.cpp
      ${PROJECT_SOURCE_DIR}/platform/win32/digest_cng.cpp
      ${PROJECT_SOURCE_DIR}/platform/win32/thread_win32.cpp)
    target_compile_definitions(${platform} PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                                                  _WIN32_WINNT=0x0601)
    # ntdll: the open file's own index (NtQueryInformationFile), a query Windows has no
    # Win32 call for.
    target_link_libraries(${platform} PUBLIC bcrypt shlwapi user32 ntdll)
  endif()
  target_include_directories(${platform} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  target_compile_definitions(${platform} PUBLIC VANTREL_CHAR=${CHAR})

  add_library(${engine} STATIC
    ${PROJECT_SOURCE_DIR}/engine/text.cpp
    ${PROJECT_SOURCE_DIR}/engine/search_settings.cpp
    ${PROJECT_SOURCE_DIR}/engine/path_table.cpp
    ${PROJECT_SOURCE_DIR}/engine/directory_walk.cpp
    ${PROJECT_SOURCE_DIR}/engine/fingerprint.cpp
    ${PROJECT_SOURCE_DIR}/engine/md5_lanes.cpp
    ${PROJECT_SOURCE_DIR}/engine/confirm_copies.cpp
    ${PROJECT_SOURCE_DIR}/engine/size_text.cpp
    ${PROJECT_SOURCE_DIR}/engine/search_gate.cpp
    ${PROJECT_SOURCE_DIR}/engine/search_run.cpp
    ${PROJECT_SOURCE_DIR}/engine/share_out.cpp
    ${PROJECT_SOURCE_DIR}/engine/pass_progress.cpp
    ${PROJECT_SOURCE_DIR}/engine/walk_and_admit.cpp
    ${PROJECT_SOURCE_DIR}/engine/candidate_probe.cpp
    ${PROJECT_SOURCE_DIR}/engine/size_screen.cpp
    ${PROJECT_SOURCE_DIR}/engine/copy_plan.cpp
    ${PROJECT_SOURCE_DIR}/engine/confirm_batches.cpp
    ${PROJECT_SOURCE_DIR}/engine/result_rows.cpp
    ${PROJECT_SOURCE_DIR}/engine/search_worker.cpp
    ${PROJECT_SOURCE_DIR}/engine/search_control.cpp
    ${PROJECT_SOURCE_DIR}/engine/delete_job.cpp)
  target_link_libraries(${engine} PUBLIC ${platform} ZLIB::ZLIB)
  if(VANTREL_HOST STREQUAL "win32")
    # GCC for Windows may spill 32- and 64-byte vectors with aligned moves to a
    # stack that is only 16-byte aligned there; the assembler makes them unaligned.
    set_source_files_properties(${PROJECT_SOURCE_DIR}/engine/md5_lanes.cpp
                                PROPERTIES COMPILE_OPTIONS -Wa,-muse-unaligned-vector-move)
  endif()

  # The program itself: start-up, layout, dispatch and commands. No toolkit or
  # OS header: it reaches the window through WindowHost alone.
  set(ui vantrel_ui${WIDTH})
  add_library(${ui} STATIC
    ${PROJECT_SOURCE_DIR}/ui/ui_texts.cpp
    ${PROJECT_SOURCE_DIR}/ui/window_host.cpp
    ${PROJECT_SOURCE_DIR}/ui/row_table.cpp
    ${PROJECT_SOURCE_DIR}/ui/layout.cpp
    ${PROJECT_SOURCE_DIR}/ui/program.cpp
    ${PROJECT_SOURCE_DIR}/ui/commands_search_list.cpp
    ${PROJECT_SOURCE_DIR}/ui/commands_search.cpp
    ${PROJECT_SOURCE_DIR}/ui/commands_results.cpp
    ${PROJECT_SOURCE_DIR}/ui/commands_rows.cpp
    ${PROJECT_SOURCE_DIR}/ui/row_paths.cpp
    ${PROJECT_SOURCE_DIR}/ui/spin_rules.cpp
    ${PROJECT_SOURCE_DIR}/ui/chooser_rules.cpp
    ${PROJECT_SOURCE_DIR}/ui/control_kinds.cpp)
  target_link_libraries(${ui} PUBLIC ${engine})
endfunction()
