# Connection, pool, remote-protocol channel (eventlink_client), the export table and the shared
# library libEventLink.so, and their tests. Included at the end of eventlink/CMakeLists.txt.
set(EVENTLINK_DIR ${CMAKE_CURRENT_LIST_DIR}/..)

file(GLOB EVENTLINK_CLIENT_SOURCES CONFIGURE_DEPENDS ${EVENTLINK_DIR}/client/*.cpp)
add_library(eventlink_client STATIC ${EVENTLINK_CLIENT_SOURCES})
target_include_directories(eventlink_client PUBLIC ${EVENTLINK_DIR} ${EVENTLINK_DIR}/include)
target_link_libraries(eventlink_client PUBLIC eventlink_core otherutils platform PRIVATE tessaro_flags)

# The exports are compiled once and used by the library and by the tests.
add_library(eventlink_exports OBJECT ${EVENTLINK_DIR}/exports/eventlink_exports.cpp
                                     ${EVENTLINK_DIR}/exports/variant_exports.cpp)
target_link_libraries(eventlink_exports PUBLIC eventlink_client PRIVATE tessaro_flags)

add_library(EventLink SHARED $<TARGET_OBJECTS:eventlink_exports>)
set_target_properties(EventLink PROPERTIES OUTPUT_NAME EventLink
  LINK_DEPENDS ${EVENTLINK_DIR}/exports/EventLink.map)
target_include_directories(EventLink PUBLIC ${EVENTLINK_DIR}/include)
target_link_libraries(EventLink PRIVATE eventlink_client tessaro_flags
  -Wl,--version-script=${EVENTLINK_DIR}/exports/EventLink.map -Wl,--no-undefined)

file(GLOB EVENTLINK_CLIENT_TEST_SOURCES CONFIGURE_DEPENDS ${EVENTLINK_DIR}/tests/client_*.cpp)
if(EVENTLINK_CLIENT_TEST_SOURCES)
  tessaro_add_test(NAME eventlink_client_tests
    SOURCES ${EVENTLINK_CLIENT_TEST_SOURCES} $<TARGET_OBJECTS:eventlink_exports>
    LIBS eventlink_client es_server_core
    ENV "TZ=MSK-3MSD,M3.5.0/2,M10.5.0/3")
endif()
