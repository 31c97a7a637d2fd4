// The least a GLUT program can do in the demo's window: the same display mode,
// size and title, a white clear and a swap per redisplay, and the same 15 ms
// re-armed timer. The baseline for the demo's start-up time and tick rate.
#include <GL/freeglut.h>

static void display(void) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glutSwapBuffers();
}

static void tick(int value) {
    glutPostRedisplay();
    glutTimerFunc(15, tick, value);
}

int main(int argc, char** argv) {
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(1280, 720);
    glutCreateWindow("marrowby &c &c");
    glClearColor(1, 1, 1, 1);
    glutDisplayFunc(display);
    glutTimerFunc(15, tick, 0);
    glutMainLoop();
    return 0;
}
