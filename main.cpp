#include "app/CameraApp.h"

int main(int argc, char* argv[])
{
    brightowl::CameraApp app(argc, argv);
    return app.Run();
}
