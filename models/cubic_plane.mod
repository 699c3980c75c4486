x=0.5, y=0.5
r=1.5

d
x=r*x-x^3
y=y/2
